#pragma once
// The text of a batch file: the script's commands with the command line's
// additions, behind the code-page line, as the file is written.
#include "core/ts_text.h"

namespace palisade {

// The script's text followed by the command line's additions on lines of
// their own.
ts::WText BatchWithAdditions(const ts::WText& script, const ts::WText& additions);

// `text` written so that a batch file's line reads it back as it is: every
// "%" doubled, the command interpreter's operators "^", "&", "|", "<" and
// ">" escaped with "^" where they stand outside double quotes (inside they
// are plain), and a line break made a blank. A folder or product name then
// expands no variable and starts no command, whatever it holds. A "!" is
// plain because the interpreter runs with delayed expansion off.
ts::WText BatchLiteral(const ts::WText& text);

// A batch's text behind its code-page line, encoded: UTF-8 after "chcp
// 65001" when `utf8Allowed` (the system's interpreter reads it, Windows 7
// and later) and the text is not pure ASCII, else code page 1252, where a
// character without a form of its own becomes "?" rather than a look-alike
// (a fullwidth quote must not end a quoted path). `utf8` tells which.
ts::Text EncodedBatch(const ts::WText& text, bool utf8Allowed, bool& utf8);

// The bytes of the batch file: the code-page line, "@echo off", the
// variable lines and the commands, encoded as EncodedBatch says. Lines that
// only say PAUSE are left out when nobody could answer them.
ts::Text BatchFileBytes(const ts::WText& variableLines, const ts::WText& commands, bool utf8Allowed,
                        bool dropPauseLines, bool& utf8);

}  // namespace palisade
