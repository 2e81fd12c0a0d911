#pragma once
// The text of a batch file: the script's commands with the command line's
// additions, behind the code-page line, as the file is written.
#include "core/ts_text.h"

namespace palisade {

// The script's text followed by the command line's additions on lines of
// their own.
ts::WText BatchWithAdditions(const ts::WText& script, const ts::WText& additions);

// The bytes of the batch file: the code-page line, "@echo off", the
// variable lines and the commands. The file is UTF-8 when the system takes
// that code page (Windows 7 and later) and the text needs it, else code
// page 1252; `utf8` tells which. Lines that only say PAUSE are left out
// when nobody could answer them.
ts::Text BatchFileBytes(const ts::WText& variableLines, const ts::WText& commands, bool utf8Allowed,
                        bool dropPauseLines, bool& utf8);

}  // namespace palisade
