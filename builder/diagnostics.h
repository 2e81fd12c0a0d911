#pragma once
// Problems found in a project file, each tied to the line that causes it
// and printed as "FILE:LINE: message; hint", the form editors jump to.
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace palisade::builder {

struct Diagnostic {
  int line = 0;  // 0: the file as a whole
  std::string message;
  std::string hint;
  bool warning = false;  // the build can go on
};

class Diagnostics {
 public:
  explicit Diagnostics(std::string file) : file_(std::move(file)) {}

  // A mistake: the build stops.
  void Report(int line, std::string message, std::string hint);
  // Something the author may not have meant; printed as
  // "FILE:LINE: warning: message; hint".
  void Warn(int line, std::string message, std::string hint);
  bool HasErrors() const;
  bool HasWarnings() const;
  const std::vector<Diagnostic>& list() const { return list_; }
  const std::string& file() const { return file_; }

  // In line order, one per line of output: the errors when there are any
  // (warnings would bury them), else the warnings.
  void Print(std::ostream& out) const;

 private:
  std::string file_;
  std::vector<Diagnostic> list_;
};

// `text` in double quotes, as messages name keys and values.
std::string Quoted(std::string_view text);

// The candidate closest to `word` by edit distance, when it is close enough
// to be a likely typo; empty otherwise.
std::string ClosestWord(std::string_view word, std::span<const std::string_view> candidates);

// "did you mean "x"?" for a near miss, else the list of the choices.
std::string ChoiceHint(std::string_view word, std::span<const std::string_view> candidates);

}  // namespace palisade::builder
