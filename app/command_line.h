#pragma once
// The installer's command line: which atoms it takes and what they set.
#include "state/installer_state.h"

namespace palisade {

inline constexpr int kMaxCommandLineAtoms = 19;

// The atoms after the program's own path, at most kMaxCommandLineAtoms of
// them. A double-quoted stretch belongs to its atom, quotes and blanks
// included; one without a closing quote runs to the end of the line. An
// atom that opens with a quote is read with the C runtime's quoting rules.
ts::Vector<ts::WText> SplitCommandLine(const wchar_t* commandLine);

// Applies the atoms in order. On a bad atom returns false with the reason for
// the usage text; the flags and values set by the atoms before it stay set,
// so that an earlier "/silent" keeps the usage error out of sight.
bool ParseCommandLine(const wchar_t* commandLine, RunFlags& flags, CommandLineValues& values, ts::WText& usageReason);

ts::WText UsageText(const ts::WText& reason, const ts::WText& programName);

// Shows the usage text with the reason through the fatal path; never returns.
[[noreturn]] void UsageError(const ts::WText& reason);

}  // namespace palisade
