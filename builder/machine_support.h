#pragma once
// Which Windows programs Wine can run on this machine. Wine's 32-bit loader
// is a 32-bit Linux program, so where the kernel's 32-bit support is
// switched off Wine runs 64-bit programs only.
#include <string>

#include "builder/environment_variables.h"

namespace palisade::builder {

inline constexpr char kWindowsBitsVariable[] = "PALISADE_WINDOWS_BITS";

// 32 when the kernel runs 32-bit code (and 64-bit code), else 64.
// PALISADE_WINDOWS_BITS=32|64 answers in the machine's place, so that the
// 64-bit way can be seen on any machine; empty, it is as if unset. False,
// with the reason, when it holds anything else or the probe cannot be
// written or started.
bool WindowsBits(const VariableLookup& variables, int& bits, std::string& problem);

}  // namespace palisade::builder
