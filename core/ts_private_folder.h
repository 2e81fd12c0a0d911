#pragma once
// Folders for the run's batches and temporary files that nobody else can
// write: a standard user who could swap or extend a batch before the
// command interpreter reads it would run commands with the run's rights.
#include <windows.h>

#include "core/ts_text.h"

namespace ts {

// Random bytes from the system's generator; false when it fails.
bool RandomBytes(void* buffer, unsigned long size);

// `digits` upper-case hexadecimal digits drawn from the system's
// generator; empty when it fails.
WText RandomHexDigits(int digits);

// The access list of a private folder in SDDL, inherited by what it holds:
// Administrators and SYSTEM for an elevated run or one as SYSTEM, the
// user alone for a run with a plain user's rights. Empty when the user's
// token cannot be read.
WText PrivateFolderAccess();

// A new folder with an unpredictable name in the system's temporary
// folder, created in one step with the access list above, so that no name
// is ever taken over from someone who made it first. While the object
// holds the folder it cannot be renamed or removed by anybody.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  PrivateFolder(PrivateFolder&& other) noexcept;
  PrivateFolder& operator=(PrivateFolder&& other) noexcept;
  // Removes the folder when it is empty.
  ~PrivateFolder();

  // ERROR_SUCCESS or the system's error; a folder made before is removed
  // first when empty.
  DWORD Create();
  const WText& Path() const { return path_; }
  // The path of `name` inside the folder.
  WText FileIn(const WText& name) const { return path_ + L"\\" + name; }
  // Lets the folder go without removing it: what it holds is still in use
  // (a batch that outlives the run removes it itself).
  void Release();
  // Removes the folder when it is empty; true when it is gone.
  bool Remove();

 private:
  void Close();

  WText path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace ts
