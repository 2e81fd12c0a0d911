#include "actions/installed_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "actions/install_folder.h"
#include "actions/install_log.h"
#include "actions/overwrite_rules.h"
#include "state/installer_state.h"
#include "core/ts_deferred.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"

namespace palisade {
namespace {

constexpr int kAttempts = 3;
constexpr int kWriteFailedMessage = 31;
constexpr DWORD kRetryDelay = 50;
// Read-only, hidden, system, archive, temporary, offline.
constexpr DWORD kStampedAttributes = 0x1127;
constexpr DWORD kInTheWayAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }

ts::WText FolderOf(const ts::WText& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == ts::WText::npos ? ts::WText() : path.substr(0, slash);
}

FILETIME FileTimeOf(const format::TimeStamp& time) {
  SYSTEMTIME system = {};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  FILETIME file = {};
  SystemTimeToFileTime(&system, &file);
  return file;
}

// The creation and last-write times, when `time` is complete.
void StampTime(HANDLE file, const format::TimeStamp& time) {
  if (!IsComplete(time)) return;
  FILETIME stamp = FileTimeOf(time);
  SetFileTime(file, &stamp, nullptr, &stamp);
}

void StampAttributes(const ts::WText& path, uint32_t attributes) {
  if (attributes == kLeaveAttributes) return;
  DWORD current = GetFileAttributesW(path.c_str());
  if (current == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), (current & ~kStampedAttributes) | (attributes & kStampedAttributes));
}

// Writes every piece to the open file, putting its last-write time back to
// `keptTime` after each when one is given; the error of the first failing
// write is returned.
DWORD WritePieces(HANDLE file, const ts::WText& path, const FileContents& contents, const FILETIME* keptTime) {
  bool first = true;
  return contents.ForEachPiece([&](std::span<const uint8_t> piece) -> DWORD {
    DWORD written = 0;
    if (!WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) || written != piece.size()) {
      return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (keptTime) SetFileTime(file, nullptr, nullptr, keptTime);
    // The one moment a file is half written, for a test build to stop at.
    if (first && piece.size() < contents.size()) ts::TraceRun(L"first piece written to " + path);
    first = false;
    return ERROR_SUCCESS;
  });
}

// The record's times when it has them; otherwise the moment the writing
// ended, which a held last-write time would not show.
void StampEndOfWriting(HANDLE file, const format::TimeStamp& time) {
  if (IsComplete(time)) {
    StampTime(file, time);
    return;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  SetFileTime(file, nullptr, nullptr, &now);
}

// A file that is there is emptied and written again in place, so that it
// keeps its access list, its hard links and its other names. Until its
// last byte is written it keeps the last-write time that it had: a run
// killed half way leaves a short file that the next run judges as out of
// date as this one did, not a new one. Windows holds the time for the
// handle; Wine takes the request and still moves the time with every
// write, so the time is also put back after each piece.
DWORD RewriteInPlace(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time) {
  WIN32_FILE_ATTRIBUTE_DATA before;
  bool beforeKnown = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &before);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  const FILETIME* keptTime = beforeKnown ? &before.ftLastWriteTime : nullptr;
  if (keptTime) SetFileTime(file, nullptr, nullptr, keptTime);
  ts::HoldLastWriteTime(file);
  DWORD error = WritePieces(file, path, contents, keptTime);
  if (error == ERROR_SUCCESS) StampEndOfWriting(file, time);
  if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
  return error;
}

// A file that is not there yet is marked for deletion from its creation
// until it is whole and stamped: a run killed half way leaves nothing,
// where a short file would be kept by every rule that keeps an existing
// file, and a failed write leaves nothing either. A file system that
// cannot mark it gets it written unmarked. ERROR_FILE_EXISTS when the file
// is there.
DWORD WriteNewFile(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  bool marked = ts::MarkForDeletion(file, true);
  DWORD error = WritePieces(file, path, contents, nullptr);
  if (error == ERROR_SUCCESS) StampTime(file, time);
  if (error == ERROR_SUCCESS && marked && !ts::MarkForDeletion(file, false)) error = GetLastError();
  if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
  return error;
}

// Writes every byte of the file, new or again, and stamps its times on the
// same handle; the error of the first failing call is returned.
DWORD WriteWhole(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time) {
  DWORD error = WriteNewFile(path, contents, time);
  return error == ERROR_FILE_EXISTS ? RewriteInPlace(path, contents, time) : error;
}

// ERROR_SUCCESS when the file holds exactly the contents; the system's
// error when it cannot be read back, ERROR_CRC when it holds something else.
DWORD VerifyContents(const ts::WText& path, const FileContents& contents) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  std::vector<uint8_t> found;
  DWORD error = contents.ForEachPiece([&](std::span<const uint8_t> piece) -> DWORD {
    found.resize(piece.size());
    DWORD read = 0;
    if (!ReadFile(file, found.data(), static_cast<DWORD>(piece.size()), &read, nullptr)) return GetLastError();
    return read == piece.size() && std::memcmp(found.data(), piece.data(), read) == 0 ? ERROR_SUCCESS : ERROR_CRC;
  });
  // Nothing may follow the contents.
  uint8_t extra = 0;
  DWORD read = 0;
  if (error == ERROR_SUCCESS && ReadFile(file, &extra, 1, &read, nullptr) && read > 0) error = ERROR_CRC;
  CloseHandle(file);
  return error;
}

bool DrivePresent(const ts::WText& path) {
  if (path.size() < 2 || path[1] != L':') return true;
  ts::WText root = path.substr(0, 2) + L"\\";
  return GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR;
}

void PrepareRetry(const ts::WText& path, DWORD error) {
  if (error == ERROR_PATH_NOT_FOUND) {
    std::vector<ts::WText> created;
    ts::WText reason;
    CreateFolderWithParents(FolderOf(path), created, reason);
  }
  if (LowFlag(format::product_flags_low::kClearAttributesInTheWay)) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), attributes & ~kInTheWayAttributes);
  }
}


// Attributes that would stop a copy onto the temporary file or the
// system's move at the restart. Its access list stays the one it inherits
// from its folder: the file becomes the installed file, and an entry that
// let others write it would let them replace what the restart installs.
void ClearAttributesInTheWay(const ts::WText& temporary) {
  DWORD attributes = GetFileAttributesW(temporary.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(temporary.c_str(), attributes & ~kInTheWayAttributes);
}

// After the last attempt: a file in use that existed before is replaced at
// the next restart; anything else goes to the failure summary.
bool ReportUnwritten(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time, DWORD error,
                     std::optional<bool> existedBefore) {
  ts::WText report;
  if (!DrivePresent(path)) {
    report = MessageWithTags(kWriteFailedMessage) + L" " + path + L"\r\n" +
             ts::Format(L"Drive %c: is not present.\r\n", path[0]);
  } else {
    report = WriteFailureText(path, ts::SystemErrorTextW(error));
    // A new file whose writing failed left nothing, so what is there now
    // was there before.
    bool existed = existedBefore.value_or(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    bool replaceable = existed || LowFlag(format::product_flags_low::kReplaceNewFilesAtRestart);
    if (replaceable && error != ERROR_INVALID_NAME) {
      RestartReplacement replacement = ReplaceAtNextRestart(
          path, [&contents, &time](const ts::WText& temporary) { return RewriteInPlace(temporary, contents, time); },
          time);
      if (replacement.scheduled) return true;
      if (replacement.noTemporaryFile) {
        report += replacement.failure;
      } else {
        LogWideText(replacement.failure);
      }
    }
  }
  AddToFailureSummary(report);
  return false;
}

}  // namespace

void StampTimeAndAttributes(const ts::WText& path, const format::TimeStamp& time, uint32_t attributes) {
  if (IsComplete(time)) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      StampTime(file, time);
      CloseHandle(file);
    }
  }
  StampAttributes(path, attributes);
}

// The temporary file lies beside the file, as a move at the restart cannot
// cross to another volume. Its attributes are cleared before it is filled,
// so that a copy can replace it, and again after, because a copy brings the
// attributes of its source.
RestartReplacement ReplaceAtNextRestart(const ts::WText& path, const TemporaryFiller& fill,
                                        const format::TimeStamp& time) {
  RestartReplacement replacement;
  ts::WText temporary = ts::MakeTemporaryFileName(FolderOf(path));
  DWORD error = GetLastError();
  if (!temporary.empty()) {
    ClearAttributesInTheWay(temporary);
    error = fill(temporary);
  }
  if (temporary.empty() || error != ERROR_SUCCESS) {
    if (!temporary.empty()) DeleteFileW(temporary.c_str());
    replacement.noTemporaryFile = true;
    replacement.failure = ts::Format(
        L"Failed to register '%s' for replacement because no temporary file could be created.\r\n%s\r\n\r\n",
        path.c_str(), ts::SystemErrorTextW(error).c_str());
    return replacement;
  }
  ClearAttributesInTheWay(temporary);
  StampTimeAndAttributes(temporary, time, kLeaveAttributes);
  if (!ts::ReplaceAtRestart(temporary, path)) {
    replacement.failure = ts::Format(L"Failed to register '%s' for replacement with temporary file '%s'\r\n%s\r\n\r\n",
                                     path.c_str(), temporary.c_str(), ts::SystemErrorTextW(GetLastError()).c_str());
    DeleteFileW(temporary.c_str());
    return replacement;
  }
  RequireRestart();
  LogWideFormat(L"\"%s\" was successfully registered for replacement.\r\nTemporary file is \"%s\"\r\nReboot will be required.\r\n\r\n",
                path.c_str(), temporary.c_str());
  replacement.scheduled = true;
  return replacement;
}

ts::WText WriteFailureText(const ts::WText& path, const ts::WText& errorText) {
  return MessageWithTags(kWriteFailedMessage) + L" " + path + L"\r\n" + errorText + L"\r\n\r\n";
}

// A file that reads back wrong is tried again at once; one that still reads
// back wrong after the last attempt is a failure of the file, not of access
// to it, and is never left to the restart.
bool WriteInstalledFile(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time,
                        uint32_t attributes, std::optional<bool> existedBefore, bool& replacedAtRestart) {
  replacedAtRestart = false;
  bool verify = LowFlag(format::product_flags_low::kVerifyWrittenFiles);
  DWORD error = ERROR_SUCCESS;
  bool unverified = false;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    error = WriteWhole(path, contents, time);
    unverified = error == ERROR_SUCCESS && verify && (error = VerifyContents(path, contents)) != ERROR_SUCCESS;
    if (error == ERROR_SUCCESS) {
      StampAttributes(path, attributes);
      return true;
    }
    if (unverified) continue;
    if (attempt == 1) PrepareRetry(path, error);
    if (attempt < kAttempts) Sleep(kRetryDelay);
  }
  if (unverified) {
    AddToFailureSummary(WriteFailureText(path, ts::SystemErrorTextW(error)));
    return false;
  }
  replacedAtRestart = ReportUnwritten(path, contents, time, error, existedBefore);
  return false;
}

bool ReadFileTime(const ts::WText& path, format::TimeStamp& time) {
  WIN32_FILE_ATTRIBUTE_DATA facts;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts)) return false;
  SYSTEMTIME system;
  if (!FileTimeToSystemTime(&facts.ftLastWriteTime, &system)) return false;
  time = {system.wYear, system.wMonth, system.wDay, system.wHour, system.wMinute, system.wSecond};
  return true;
}

ts::WText ReadFileVersion(const ts::WText& path) {
  HMODULE version = ts::LoadSystemLibrary(L"version.dll");
  using SizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  auto size = ts::FunctionOf<SizeFunction>(version, "GetFileVersionInfoSizeW");
  auto info = ts::FunctionOf<InfoFunction>(version, "GetFileVersionInfoW");
  auto query = ts::FunctionOf<QueryFunction>(version, "VerQueryValueW");
  DWORD handle = 0, length = size && info && query ? size(path.c_str(), &handle) : 0;
  if (!length) return {};
  std::vector<uint8_t> block(length);
  if (!info(path.c_str(), 0, length, block.data())) return {};
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  UINT bytes = 0;
  if (!query(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translation), &bytes) || bytes < 4) {
    return {};
  }
  ts::WText key = ts::Format(L"\\StringFileInfo\\%04x%04x\\FileVersion", translation->language, translation->codePage);
  wchar_t* text = nullptr;
  if (!query(block.data(), key.c_str(), reinterpret_cast<LPVOID*>(&text), &bytes) || !text) return {};
  ts::WText versionText = text;
  for (wchar_t& c : versionText) {
    if (c == L',') c = L'.';
  }
  size_t first = versionText.find_first_not_of(L" \t\r\n"), last = versionText.find_last_not_of(L" \t\r\n");
  return first == ts::WText::npos ? ts::WText() : versionText.substr(first, last - first + 1);
}

bool CreateFolderWithParents(const ts::WText& folder, std::vector<ts::WText>& created, ts::WText& reason) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return !LeadsElsewhere(folder, reason);
    reason = L"Cannot create directory because there is a file with the same name.";
    return false;
  }
  ts::WText parent = FolderOf(folder);
  // A drive root ("C:") or a share's root is never created, only found.
  if (!parent.empty() && parent.size() > 2 && !CreateFolderWithParents(parent, created, reason)) return false;
  DWORD error = CreateProductFolder(folder);
  // Made by someone else meanwhile: not the product's.
  if (error == ERROR_ALREADY_EXISTS) return !LeadsElsewhere(folder, reason);
  if (error != ERROR_SUCCESS) {
    reason = ts::SystemErrorTextW(error);
    return false;
  }
  created.push_back(folder);
  return true;
}

std::vector<ts::WText> OwnedFolders(const ts::WText& folder, const std::vector<ts::WText>& created,
                                    const ts::WText& installFolder, const std::set<ts::WText>& productFolders) {
  std::vector<ts::WText> owned = created;
  ts::WText prefix = installFolder + L"\\";
  bool belowInstallFolder = folder.size() > prefix.size() && _wcsnicmp(folder.c_str(), prefix.c_str(), prefix.size()) == 0;
  for (size_t slash = folder.find(L'\\');; slash = folder.find(L'\\', slash + 1)) {
    ts::WText step = folder.substr(0, slash);
    bool ownedStep = (belowInstallFolder && step.size() >= prefix.size()) || productFolders.count(ts::AsciiLowerCase(step));
    if (ownedStep && std::find(owned.begin(), owned.end(), step) == owned.end()) owned.push_back(step);
    if (slash == ts::WText::npos) break;
  }
  std::sort(owned.begin(), owned.end(), [](const ts::WText& a, const ts::WText& b) { return a.size() < b.size(); });
  return owned;
}

}  // namespace palisade
