#include "app/command_line.h"

namespace palisade {
namespace {

constexpr LCID kInvariantLocale = 127;
constexpr DWORD kIgnoreCase = NORM_IGNORECASE | SORT_STRINGSORT;

bool IsWhiteSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringW(kInvariantLocale, kIgnoreCase, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

const wchar_t* SkipWhiteSpace(const wchar_t* p) {
  while (*p && IsWhiteSpace(*p)) ++p;
  return p;
}

// An atom that opens with a double quote is one argument quoted the way the
// C runtime quotes every argument it passes ("/u:\"Acme Notes\""), as
// deployment tools and other programs do: it is taken as it reads once the
// quoting is undone. Backslashes count only before a quote.
ts::WText ReadQuotedArgument(const wchar_t*& p) {
  ts::WText atom;
  bool quoted = false;
  while (*p && (quoted || !IsWhiteSpace(*p))) {
    size_t backslashes = 0;
    while (*p == L'\\') {
      ++backslashes;
      ++p;
    }
    if (*p != L'"') {
      atom.append(backslashes, L'\\');
      if (*p && (quoted || !IsWhiteSpace(*p))) atom += *p++;
      continue;
    }
    atom.append(backslashes / 2, L'\\');
    if (backslashes % 2) {
      atom += L'"';
    } else {
      quoted = !quoted;
    }
    ++p;
  }
  return atom;
}

ts::WText ReadAtom(const wchar_t*& p) {
  p = SkipWhiteSpace(p);
  if (*p == L'"') return ReadQuotedArgument(p);
  const wchar_t* start = p;
  while (*p && !IsWhiteSpace(*p)) {
    if (*p++ != L'"') continue;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  }
  return ts::WText(start, p);
}

ts::WText WithoutSurroundingQuotes(const ts::WText& text) {
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') return text.substr(1, text.size() - 2);
  return text;
}

void RemoveTrailingQuote(ts::WText& text) {
  if (!text.empty() && text.back() == L'"') text.pop_back();
}

// A quoted program line may quote paths with backquotes, which the shell
// would otherwise take as the end of the argument.
template <typename String>
void BackquotesToQuotes(String& text) {
  for (auto& c : text) {
    if (c == '`') c = '"';
  }
}

ts::Text TildePairsToLineBreaks(const ts::Text& text) {
  ts::Text result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '~' && i + 1 < text.size() && text[i + 1] == '~') {
      result += "\r\n";
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

ts::Text BatchAddition(const ts::WText& rest) {
  ts::Text commands = ts::AnsiFromWide(rest);
  if (!commands.empty() && commands.back() == '"') commands.pop_back();
  BackquotesToQuotes(commands);
  return TildePairsToLineBreaks(commands);
}

// Applies one atom; false with the reason when it is not one of ours.
bool ApplyAtom(const ts::WText& atom, RunFlags& flags, CommandLineValues& values, ts::WText& reason) {
  if (atom[0] != L'/' && atom[0] != L'-') {
    reason = L"Unexpected command line parameter:\r\n" + atom;
    return false;
  }
  std::wstring_view option = std::wstring_view(atom).substr(1);
  if (SameText(option, L"A")) {
    flags.automatic = true;
  } else if (StartsWith(option, L"D:")) {
    values.installFolder = WithoutSurroundingQuotes(ts::WText(option.substr(2)));
  } else if (StartsWith(option, L"N:")) {
    values.productName = WithoutSurroundingQuotes(ts::WText(option.substr(2)));
  } else if (StartsWith(option, L"U")) {
    flags.uninstall = true;
    if (option.size() > 1 && option[1] == L':') values.uninstallName = WithoutSurroundingQuotes(ts::WText(option.substr(2)));
  } else if (StartsWith(option, L"R:\"")) {
    values.runAfterInstall = ts::WText(option.substr(3));
    RemoveTrailingQuote(values.runAfterInstall);
    BackquotesToQuotes(values.runAfterInstall);
  } else if (StartsWith(option, L"B1:\"") || StartsWith(option, L"B2:\"") || StartsWith(option, L"B3:\"")) {
    values.batchAdditions[option[1] - L'1'] = BatchAddition(ts::WText(option.substr(4)));
  } else if (SameText(option, L"Silent")) {
    flags.silent = true;
    flags.automatic = true;
  } else if (SameText(option, L"MIN")) {
    flags.minimised = true;
  } else if (!option.empty()) {
    reason = L"Illegal command line atom:\r\n" + atom;
    return false;
  }
  return true;
}

}  // namespace

ts::Vector<ts::WText> SplitCommandLine(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  ReadAtom(p);  // the program's own path
  ts::Vector<ts::WText> atoms;
  while (atoms.Count() < kMaxCommandLineAtoms) {
    ts::WText atom = ReadAtom(p);
    if (atom.empty()) break;
    atoms.Add(atom);
  }
  return atoms;
}

bool ParseCommandLine(const wchar_t* commandLine, RunFlags& flags, CommandLineValues& values, ts::WText& usageReason) {
  for (const ts::WText& atom : SplitCommandLine(commandLine)) {
    if (!ApplyAtom(atom, flags, values, usageReason)) return false;
  }
  return true;
}

ts::WText UsageText(const ts::WText& reason, const ts::WText& programName) {
  return ts::Format(
      L"%s\r\n\r\nUsage:\r\n%s [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] [/n:\"name\"] "
      L"[/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
      L"/a                  \tAutomatic mode.\r\n"
      L"/d:\"dir\"        \tOverride installation path.\r\n"
      L"/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
      L"/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
      L"/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
      L"/n:\"name\"\tOverride product name.\r\n"
      L"/u:\"name\"\tUninstall product by name.\r\n"
      L"/r:\"program\"\tRun the specified program after a successful installation.\r\n"
      L"/silent\tDisplay no user interface.",
      reason.c_str(), programName.c_str());
}

void UsageError(const ts::WText& reason) { ts::Fatal(L"%s", UsageText(reason, ts::ModuleBaseName()).c_str()); }

}  // namespace palisade
