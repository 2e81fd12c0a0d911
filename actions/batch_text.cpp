#include "actions/batch_text.h"

#include <algorithm>

namespace palisade {
namespace {

bool IsPauseLine(std::wstring_view line) {
  size_t start = line.find_first_not_of(L" \t");
  if (start == std::wstring_view::npos) return false;
  if (line[start] == L'@') ++start;
  size_t end = line.find_last_not_of(L" \t\r");
  std::wstring_view word = line.substr(start, end + 1 - start);
  return word.size() == 5 && std::equal(word.begin(), word.end(), L"PAUSE", [](wchar_t c, wchar_t upper) {
           return c == upper || c == upper - L'A' + L'a';
         });
}

ts::WText WithoutPauseLines(const ts::WText& commands) {
  ts::WText kept;
  for (size_t start = 0; start < commands.size();) {
    size_t end = commands.find(L'\n', start);
    end = end == ts::WText::npos ? commands.size() : end + 1;
    std::wstring_view line(commands.data() + start, end - start);
    if (!IsPauseLine(line.substr(0, line.find(L'\n')))) kept += line;
    start = end;
  }
  return kept;
}

bool IsAscii(std::wstring_view text) {
  for (wchar_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

ts::WText BatchWithAdditions(const ts::WText& script, const ts::WText& additions) {
  if (additions.empty()) return script;
  bool endsWithBreak = !script.empty() && (script.back() == L'\n' || script.back() == L'\r');
  return script + (endsWithBreak ? L"" : L"\r\n") + additions;
}

ts::WText BatchLiteral(const ts::WText& text) {
  ts::WText line;
  bool quoted = false;
  for (wchar_t c : text) {
    if (c == L'"') quoted = !quoted;
    if (c == L'\r' || c == L'\n') c = L' ';
    if (c == L'%') {
      line += L'%';
    } else if (!quoted && (c == L'^' || c == L'&' || c == L'|' || c == L'<' || c == L'>')) {
      line += L'^';
    }
    line += c;
  }
  return line;
}

ts::Text EncodedBatch(const ts::WText& text, bool utf8Allowed, bool& utf8) {
  utf8 = utf8Allowed && !IsAscii(text);
  if (utf8) return "@chcp 65001 >nul\r\n" + ts::Utf8FromWide(text);
  return "@chcp 1252 >nul\r\n" + ts::CodePage1252FromWide(text);
}

ts::Text BatchFileBytes(const ts::WText& variableLines, const ts::WText& commands, bool utf8Allowed,
                        bool dropPauseLines, bool& utf8) {
  ts::WText body = L"@echo off\r\n" + variableLines + (dropPauseLines ? WithoutPauseLines(commands) : commands);
  return EncodedBatch(body, utf8Allowed, utf8);
}

}  // namespace palisade
