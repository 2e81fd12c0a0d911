#include "actions/overwrite_rules.h"

#include <string>
#include <vector>

namespace palisade {
namespace {

struct ParsedVersion {
  std::vector<std::wstring> numbers;  // digit runs without their leading zeros
  wchar_t suffix = 0;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

ParsedVersion Parse(std::wstring_view text) {
  ParsedVersion version;
  if (!text.empty() && text.front() == L'.') version.numbers.push_back(L"");
  for (size_t i = 0; i < text.size();) {
    if (IsDigit(text[i])) {
      size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      std::wstring digits(text.substr(start, i - start));
      digits.erase(0, digits.find_first_not_of(L'0') == std::wstring::npos ? digits.size()
                                                                             : digits.find_first_not_of(L'0'));
      version.numbers.push_back(digits);
    } else {
      if (IsLetter(text[i])) version.suffix = text[i];
      ++i;
    }
  }
  return version;
}

// Digit runs of any length compare by their value without overflowing.
int CompareNumbers(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

}  // namespace

int CompareVersions(std::wstring_view a, std::wstring_view b) {
  ParsedVersion left = Parse(a), right = Parse(b);
  for (size_t i = 0; i < left.numbers.size() && i < right.numbers.size(); ++i) {
    if (int order = CompareNumbers(left.numbers[i], right.numbers[i])) return order;
  }
  if (left.numbers.size() != right.numbers.size()) return left.numbers.size() < right.numbers.size() ? -1 : 1;
  return left.suffix < right.suffix ? -1 : left.suffix > right.suffix ? 1 : 0;
}

}  // namespace palisade
