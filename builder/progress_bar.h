#pragma once
// A one-line progress bar on standard error, drawn only when a person is
// watching (standard error is a terminal) and not asked to be quiet.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace palisade::builder {

bool StandardErrorIsTerminal();

class ProgressBar {
 public:
  ProgressBar(bool visible, uint64_t total);
  void Advance(uint64_t amount);
  // Clears the bar's line.
  void Done();

 private:
  void Draw();

  bool visible_;
  uint64_t total_;
  uint64_t done_ = 0;
  int drawnPercent_ = -1;
  std::chrono::steady_clock::time_point drawnAt_;
};

}  // namespace palisade::builder
