#pragma once
#include <windows.h>

namespace palisade {

inline constexpr wchar_t kDefaultCaption[] = L"Palisade Setup";
inline constexpr char kOutOfMemoryAdvice[] = "Make sure the hard drive is not full.";

// Prepares the process, reads the command line and runs the installation or
// the uninstallation. Every road ends in the orderly exit.
[[noreturn]] void RunEngine(HINSTANCE instance);

}  // namespace palisade
