#pragma once
// Files and folders reached through handles that never follow a link.
// Someone who may write in a product's folder can put a symbolic link or a
// junction where a file or folder was, even between the moment a path is
// judged and the moment it is deleted; a deletion by name would then reach
// whatever the link points at. These open the object once, make sure that
// the opened object is the one the path names (no link at its end nor on
// the way), and delete through that same handle.
#include <windows.h>

#include <vector>

#include "core/ts_text.h"

namespace ts {

// The path with the separators the file system reads: "/" as "\", doubled
// separators as one, no closing backslash but a drive root's ("C:\"). A
// path is judged and used in this form only.
WText NormalisedPath(const WText& path);

// What an open or a deletion found at a path. After any but kObject,
// GetLastError() tells it as a system error: ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND for kNothing, ERROR_CANT_RESOLVE_FILENAME for
// kElsewhere, the system's reason for kFailure.
enum class Reach {
  kObject,     // the object the path names, opened (or deleted) as itself
  kNothing,    // nothing there, or not of the kind asked for
  kElsewhere,  // a link at the end or on the way: the path leads to another object
  kFailure,    // there, but not opened or not deleted
};

enum class ObjectKind { kFile, kFolder, kAny };

// One file or folder opened for deletion, with read and write sharing but
// not delete sharing, so that no one else renames or deletes it while it is
// held.
class HeldObject {
 public:
  HeldObject() = default;
  ~HeldObject();
  HeldObject(const HeldObject&) = delete;
  HeldObject& operator=(const HeldObject&) = delete;

  // Opens the object of `path`, a full path in the normalised form. Where
  // the system can open a link as itself, a link at the end is opened so
  // and IsLink() tells; otherwise the link is followed and the open says
  // kElsewhere.
  Reach Open(const WText& path, ObjectKind kind = ObjectKind::kAny);
  // Opens `name`, an entry of the held folder `folder`, relative to that
  // folder's handle: a folder renamed or replaced meanwhile cannot
  // redirect it.
  Reach OpenEntry(const HeldObject& folder, const WText& name);

  bool IsFolder() const { return (attributes_ & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsLink() const { return (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  // The path of the held object as the file system names it (long names).
  const WText& Path() const { return path_; }

  // The names of the held folder's entries, without "." and "..", read
  // through its handle.
  bool ListEntries(std::vector<WText>& names) const;

  // Deletes the held object (a folder must be empty) and lets it go; a
  // read-only file is deleted too. kFailure leaves it held, its
  // attributes as they were.
  Reach Delete();
  void Close();

 private:
  Reach Judge(const WText& expected, ObjectKind kind);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  WText path_;
  DWORD attributes_ = 0;
};

// Deletes the file or the empty folder that `path` names, never through a
// link; a link at the end counts as kElsewhere and stays.
Reach DeleteThroughHandle(const WText& path, ObjectKind kind);

// What lies at `path`, a full path in the normalised form, looked at
// without following a link and without holding it: kObject for the object
// the path names, kElsewhere for a link at its end or on the way, kNothing
// when it does not exist.
Reach ReachOf(const WText& path);

// The same judgement of a handle that the caller opened on `path` with
// FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS and at least
// FILE_READ_ATTRIBUTES, for work that needs other rights than a look.
Reach ReachOfOpened(HANDLE handle, const WText& path);

// True when the path, or the part of it that exists, leads through a link:
// the object opened is not the one the path names.
bool LeadsElsewhere(const WText& path);

}  // namespace ts
