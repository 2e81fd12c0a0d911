#include "core/ts_private_folder.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <utility>

#include "core/system_facts.h"
#include "core/ts_format.h"

namespace ts {
namespace {

constexpr int kNameDigits = 16;
// A name that exists already is someone else's; a fresh draw is tried
// rather than trusting it, a few times in case chance met it.
constexpr int kNameTries = 8;
constexpr wchar_t kNamePrefix[] = L"\\ps";
constexpr wchar_t kAdministratorsAccess[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

bool RunsWithAdministratorsRights() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  bool checked = CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  return checked && member;
}

WText CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  WText text;
  wchar_t* sid = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

DWORD CreateWithAccess(const WText& path, const WText& access) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return GetLastError();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  DWORD error = CreateDirectoryW(path.c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
  LocalFree(descriptor);
  return error;
}

// Opened without sharing deletion, so that the folder can be neither
// renamed nor removed and replaced by another of the same name.
HANDLE HoldFolder(const WText& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool RandomBytes(void* buffer, unsigned long size) { return RtlGenRandom(buffer, size) != FALSE; }

WText RandomHexDigits(int digits) {
  Text bytes(static_cast<size_t>(digits + 1) / 2, '\0');
  if (!RandomBytes(bytes.data(), static_cast<unsigned long>(bytes.size()))) return {};
  WText text;
  for (char byte : bytes) text += Format(L"%02X", static_cast<unsigned char>(byte));
  return text.substr(0, static_cast<size_t>(digits));
}

WText PrivateFolderAccess() {
  if (RunsWithAdministratorsRights()) return kAdministratorsAccess;
  WText user = CurrentUserSid();
  return user.empty() ? WText() : L"D:P(A;OICI;FA;;;" + user + L")";
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : path_(std::exchange(other.path_, WText())), handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::exchange(other.path_, WText());
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
  }
  return *this;
}

PrivateFolder::~PrivateFolder() { Remove(); }

DWORD PrivateFolder::Create() {
  Remove();
  WText access = PrivateFolderAccess();
  if (access.empty()) return GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
  WText parent = TempFolder();
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < kNameTries && error == ERROR_ALREADY_EXISTS; ++attempt) {
    WText digits = RandomHexDigits(kNameDigits);
    if (digits.empty()) return GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    WText path = parent + kNamePrefix + digits;
    error = CreateWithAccess(path, access);
    if (error == ERROR_SUCCESS) {
      path_ = path;
      handle_ = HoldFolder(path);
    }
  }
  return error;
}

void PrivateFolder::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

void PrivateFolder::Release() {
  Close();
  path_.clear();
}

bool PrivateFolder::Remove() {
  if (path_.empty()) return true;
  Close();
  bool removed = RemoveDirectoryW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  path_.clear();
  return removed;
}

}  // namespace ts
