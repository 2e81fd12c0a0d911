#include "core/ts_no_follow.h"

#include <winternl.h>

#include "core/ts_system.h"

namespace ts {
namespace {

constexpr wchar_t kDosPrefix[] = L"\\\\?\\";
constexpr DWORD kShareButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kHoldAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY | SYNCHRONIZE;
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// The attributes that a deletion may have to take off and put back.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kListBuffer = 64 * 1024;

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFunction = ULONG(NTAPI*)(NTSTATUS);

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

DWORD ErrorOf(Reach reach) { return reach == Reach::kElsewhere ? ERROR_CANT_RESOLVE_FILENAME : ERROR_FILE_NOT_FOUND; }

Reach MissOrFailure(DWORD error) {
  if (IsMissing(error)) return Reach::kNothing;
  SetLastError(error);
  return Reach::kFailure;
}

WText Joined(const WText& folder, const WText& name) {
  return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// The path that the file system gives the opened object, in the local
// form "C:\..."; empty when it cannot tell.
WText FinalPath(HANDLE handle) {
  WText path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (length == 0) return WText();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  constexpr size_t kPrefixLength = sizeof(kDosPrefix) / sizeof(wchar_t) - 1;
  return path.compare(0, kPrefixLength, kDosPrefix) == 0 ? path.substr(kPrefixLength) : path;
}

bool SamePath(const WText& a, const WText& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A 32-bit process on 64-bit Windows that names the system folder opens
// the 32-bit system folder: a mapping of the system's own, which no user
// can change, not a link. Empty where there is no such folder or the path
// is not in the system folder.
WText RedirectedForm(const WText& path) {
  wchar_t redirected[MAX_PATH];
  UINT length = GetSystemWow64DirectoryW(redirected, MAX_PATH);
  WText system = SystemFolder();
  bool inSystem = !system.empty() && path.size() > system.size() && path[system.size()] == L'\\' &&
                  SamePath(path.substr(0, system.size()), system);
  if (length == 0 || length >= MAX_PATH || !inSystem) return WText();
  return WText(redirected, length) + path.substr(system.size());
}

// The path as it should read back from an opened object: a short name
// written in it comes back long.
WText ExpectedPath(const WText& path) { return path.find(L'~') == WText::npos ? path : LongPath(path); }

// Whether the opened object is the one `expected` names: the system gives
// a link opened as itself the link's own path, and an object reached
// through a link the path of where the link led.
Reach JudgeOpened(HANDLE handle, const WText& expected, DWORD& attributes, WText& finalPath) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return Reach::kFailure;
  finalPath = FinalPath(handle);
  if (finalPath.empty()) return Reach::kFailure;
  attributes = tag.FileAttributes;
  bool itself = SamePath(finalPath, expected) || SamePath(finalPath, RedirectedForm(expected));
  return itself ? Reach::kObject : Reach::kElsewhere;
}

HANDLE OpenEntryHandle(HANDLE folder, const WText& name, DWORD& error) {
  static const auto create = LoadedFunction<NtCreateFileFunction>(L"ntdll.dll", "NtCreateFile");
  static const auto toError = LoadedFunction<StatusToErrorFunction>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (!create || !toError) {
    error = ERROR_PROC_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  UNICODE_STRING objectName;
  objectName.Buffer = const_cast<wchar_t*>(name.c_str());
  objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status = {};
  HANDLE handle = INVALID_HANDLE_VALUE;
  constexpr ULONG kOpenForBackup = 0x4000;  // FILE_OPEN_FOR_BACKUP_INTENT
  constexpr ULONG kOpen = 1;                // FILE_OPEN
  NTSTATUS result = create(&handle, kHoldAccess, &attributes, &status, nullptr, 0, kShareButDelete, kOpen,
                           FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | kOpenForBackup, nullptr, 0);
  if (result < 0) {
    error = toError(result);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

}  // namespace

WText NormalisedPath(const WText& path) {
  WText normal;
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && !normal.empty() && normal.back() == L'\\') continue;
    normal.push_back(c);
  }
  while (normal.size() > 3 && normal.back() == L'\\') normal.pop_back();
  return normal;
}

HeldObject::~HeldObject() { Close(); }

void HeldObject::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  attributes_ = 0;
  path_.clear();
}

Reach HeldObject::Judge(const WText& expected, ObjectKind kind) {
  Reach reach = JudgeOpened(handle_, expected, attributes_, path_);
  bool wrongKind = (kind == ObjectKind::kFile && IsFolder()) || (kind == ObjectKind::kFolder && !IsFolder());
  if (reach == Reach::kObject && wrongKind) reach = Reach::kNothing;
  if (reach == Reach::kObject) return reach;
  DWORD error = reach == Reach::kFailure ? GetLastError() : ErrorOf(reach);
  Close();
  SetLastError(error);
  return reach;
}

Reach HeldObject::Open(const WText& path, ObjectKind kind) {
  Close();
  handle_ = CreateFileW(path.c_str(), kHoldAccess, kShareButDelete, nullptr, OPEN_EXISTING, kNoFollow, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return MissOrFailure(GetLastError());
  return Judge(ExpectedPath(path), kind);
}

Reach HeldObject::OpenEntry(const HeldObject& folder, const WText& name) {
  Close();
  DWORD error = ERROR_SUCCESS;
  handle_ = OpenEntryHandle(folder.handle_, name, error);
  if (handle_ == INVALID_HANDLE_VALUE) return MissOrFailure(error);
  return Judge(Joined(folder.path_, name), ObjectKind::kAny);
}

bool HeldObject::ListEntries(std::vector<WText>& names) const {
  std::vector<BYTE> buffer(kListBuffer);
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
    if (!GetFileInformationByHandleEx(handle_, kind, buffer.data(), kListBuffer)) {
      return GetLastError() == ERROR_NO_MORE_FILES;
    }
    for (DWORD offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + offset);
      WText name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
}

Reach HeldObject::Delete() {
  FILE_BASIC_INFO basic = {};
  const bool readOnly = attributes_ & FILE_ATTRIBUTE_READONLY;
  if (readOnly) {
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition, sizeof disposition)) {
    Close();
    return Reach::kObject;
  }
  DWORD error = GetLastError();
  if (readOnly) {
    basic.FileAttributes = attributes_ & kSettable;
    SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic);
  }
  SetLastError(error);
  return Reach::kFailure;
}

Reach DeleteThroughHandle(const WText& path, ObjectKind kind) {
  HeldObject object;
  Reach reach = object.Open(path, kind);
  if (reach != Reach::kObject) return reach;
  if (!object.IsLink()) return object.Delete();
  SetLastError(ErrorOf(Reach::kElsewhere));
  return Reach::kElsewhere;
}

Reach ReachOfOpened(HANDLE handle, const WText& path) {
  DWORD attributes = 0;
  WText finalPath;
  Reach reach = JudgeOpened(handle, ExpectedPath(path), attributes, finalPath);
  if (reach == Reach::kObject && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) reach = Reach::kElsewhere;
  if (reach == Reach::kElsewhere) SetLastError(ErrorOf(reach));
  return reach;
}

Reach ReachOf(const WText& path) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                              kNoFollow, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return MissOrFailure(GetLastError());
  Reach reach = ReachOfOpened(handle, path);
  DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  return reach;
}

bool LeadsElsewhere(const WText& path) {
  // The deepest step that exists tells for all the steps before it.
  for (WText step = path; step.size() > 3;) {
    Reach reach = ReachOf(step);
    if (reach != Reach::kNothing) return reach != Reach::kObject;
    size_t parent = step.find_last_of(L'\\');
    if (parent == WText::npos) return false;
    step.resize(parent);
  }
  return false;
}

}  // namespace ts
