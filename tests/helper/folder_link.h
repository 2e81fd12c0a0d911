#pragma once
// Links for the tests of what the engine does when a user puts a link where
// a product's folder was.
#include <string>

// Makes `link` (which must not exist) a link to the folder `target`. Wine 8
// makes neither junctions nor symbolic links through the Windows calls, but
// shows a Linux symbolic link to a folder as a junction; there the link is
// a Linux one, made by the Linux "ln". True when the link is there.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
