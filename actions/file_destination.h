#pragma once
// Where a file of the archive goes: a pure decision from the record's name,
// kind, flags and destination override and the folders of the run. Names
// and overrides that would leave their folder are refused, so that a damaged
// or hostile payload can never write outside the places it names.
#include <cstdint>

#include "core/ts_text.h"

namespace palisade {

struct DestinationFolders {
  ts::WText install;
  ts::WText shared;
  ts::WText uninstallData;
  ts::WText system;
  ts::WText fonts;
};

struct Destination {
  ts::WText path;
  bool createFolder = false;  // the folder is the product's, not the system's
  bool unknownKind = false;   // the kind names no folder and nothing overrides it
  ts::WText refusal;          // why the record is refused; empty when it is not
};

// `override` has its variables expanded already.
Destination ResolveDestination(const ts::WText& name, uint32_t kind, uint32_t flags, const ts::WText& override,
                               const DestinationFolders& folders);

// In a portable installation whose script names a portable shared folder,
// a shared file's override (as stored, before expansion) is kept only when
// it is a relative path with a folder and no variable, so that the file
// stays below that folder on the product's drive; any other override is
// dropped and the file goes there under its own name.
bool KeepsPortableSharedOverride(const ts::WText& storedOverride);

// A relative path that stays below its folder: no drive, no root, no ".."
// step, no device name, no stream name, no control character.
bool IsContainedRelativePath(const ts::WText& path);

// A path below `folder` (its letters in any case, with or without a
// closing backslash): the folder, a backslash, then a contained relative
// path. False for an empty folder.
bool IsPathInFolder(const ts::WText& path, const ts::WText& folder);

}  // namespace palisade
