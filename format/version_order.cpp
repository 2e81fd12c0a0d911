#include "format/version_order.h"

#include <algorithm>
#include <string>
#include <vector>

namespace palisade::format {
namespace {

template <typename Char>
struct ParsedVersion {
  std::vector<std::basic_string<Char>> numbers;  // digit runs without their leading zeros
  Char suffix = 0;
};

template <typename Char>
bool IsDigit(Char c) {
  return c >= '0' && c <= '9';
}

template <typename Char>
bool IsLetter(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
ParsedVersion<Char> Parse(std::basic_string_view<Char> text) {
  ParsedVersion<Char> version;
  if (!text.empty() && text.front() == '.') version.numbers.emplace_back();
  for (std::size_t i = 0; i < text.size();) {
    if (IsDigit(text[i])) {
      std::size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      std::basic_string_view<Char> digits = text.substr(start, i - start);
      while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
      version.numbers.emplace_back(digits);
    } else {
      if (IsLetter(text[i])) version.suffix = text[i];
      ++i;
    }
  }
  return version;
}

// Digit runs of any length compare by their value without overflowing.
template <typename Char>
int CompareNumbers(const std::basic_string<Char>& a, const std::basic_string<Char>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  int order = a.compare(b);
  return (order > 0) - (order < 0);
}

template <typename Char>
int Compare(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  ParsedVersion<Char> left = Parse(a), right = Parse(b);
  for (std::size_t i = 0; i < left.numbers.size() && i < right.numbers.size(); ++i) {
    if (int order = CompareNumbers(left.numbers[i], right.numbers[i])) return order;
  }
  if (left.numbers.size() != right.numbers.size()) return left.numbers.size() < right.numbers.size() ? -1 : 1;
  return left.suffix < right.suffix ? -1 : left.suffix > right.suffix ? 1 : 0;
}

constexpr std::size_t kMostNumbers = 4;
constexpr unsigned long kLargestNumber = 65535;

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) { return Compare(a, b); }

int CompareVersions(std::wstring_view a, std::wstring_view b) { return Compare(a, b); }

bool IsOrderableVersion(std::string_view text) {
  if (!text.empty() && IsLetter(text.back())) text.remove_suffix(1);
  std::vector<std::string_view> numbers;
  for (std::size_t start = 0;;) {
    std::size_t dot = std::min(text.find('.', start), text.size());
    numbers.push_back(text.substr(start, dot - start));
    if (dot == text.size()) break;
    start = dot + 1;
  }
  if (numbers.size() > kMostNumbers) return false;
  for (std::string_view number : numbers) {
    bool digits = !number.empty() && number.size() <= 5;
    for (char c : number) digits = digits && IsDigit(c);
    if (!digits || std::stoul(std::string(number)) > kLargestNumber) return false;
  }
  return true;
}

}  // namespace palisade::format
