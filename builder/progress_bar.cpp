#include "builder/progress_bar.h"

#include <unistd.h>

namespace palisade::builder {
namespace {

constexpr int kWidth = 40;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(bool visible, uint64_t total) : visible_(visible), total_(total) { Draw(); }

void ProgressBar::Advance(uint64_t amount) {
  done_ += amount;
  Draw();
}

void ProgressBar::Draw() {
  if (!visible_) return;
  int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
  auto now = std::chrono::steady_clock::now();
  if (percent == drawnPercent_ || (now - drawnAt_ < kRedrawInterval && percent != 100)) return;
  drawnPercent_ = percent;
  drawnAt_ = now;
  int filled = percent * kWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kWidth, '.');
  std::fprintf(stderr, "\r[%s] %3d%%  %llu/%llu MiB", bar.c_str(), percent,
               static_cast<unsigned long long>(done_ >> 20), static_cast<unsigned long long>(total_ >> 20));
  std::fflush(stderr);
}

void ProgressBar::Done() {
  if (!visible_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace palisade::builder
