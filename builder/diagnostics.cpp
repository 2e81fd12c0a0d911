#include "builder/diagnostics.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace palisade::builder {
namespace {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), 0);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

void Diagnostics::Report(int line, std::string message, std::string hint) {
  list_.push_back({line, std::move(message), std::move(hint), false});
}

void Diagnostics::Warn(int line, std::string message, std::string hint) {
  list_.push_back({line, std::move(message), std::move(hint), true});
}

bool Diagnostics::HasErrors() const {
  return std::any_of(list_.begin(), list_.end(), [](const Diagnostic& d) { return !d.warning; });
}

bool Diagnostics::HasWarnings() const {
  return std::any_of(list_.begin(), list_.end(), [](const Diagnostic& d) { return d.warning; });
}

void Diagnostics::Print(std::ostream& out) const {
  bool warnings = !HasErrors();
  std::vector<Diagnostic> sorted;
  std::copy_if(list_.begin(), list_.end(), std::back_inserter(sorted),
               [&](const Diagnostic& d) { return d.warning == warnings; });
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  for (const Diagnostic& d : sorted) {
    out << file_;
    if (d.line > 0) out << ':' << d.line;
    out << ": " << (d.warning ? "warning: " : "") << d.message;
    if (!d.hint.empty()) out << "; " << d.hint;
    out << '\n';
  }
}

std::string ClosestWord(std::string_view word, std::span<const std::string_view> candidates) {
  std::string_view best;
  std::size_t bestDistance = word.size() / 3 + 1;  // a third of the word may be mistyped
  for (std::string_view candidate : candidates) {
    std::size_t distance = EditDistance(word, candidate);
    if (distance <= bestDistance && (best.empty() || distance < EditDistance(word, best))) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return std::string(best);
}

std::string ChoiceHint(std::string_view word, std::span<const std::string_view> candidates) {
  std::string closest = ClosestWord(word, candidates);
  if (!closest.empty()) return "did you mean " + Quoted(closest) + "?";
  std::string hint = "expected one of";
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    hint += (i == 0 ? " " : ", ") + Quoted(candidates[i]);
  }
  return hint;
}

}  // namespace palisade::builder
