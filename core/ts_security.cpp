#include "core/ts_security.h"

#include <aclapi.h>
#include <sddl.h>

#include "core/ts_no_follow.h"

namespace ts {
namespace {

// The service that owns the system's own files.
constexpr wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// ERROR_REPARSE_POINT_ENCOUNTERED, which MinGW's headers lack.
constexpr DWORD kReparsePointEncountered = 4395;
// Administrators and SYSTEM full control, Users read and execute, each
// inherited by files and folders, the list protected from its parent's.
constexpr wchar_t kProgramFolderList[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)";

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

// A handle on the step itself, never on what a link there points at; empty
// with the error in GetLastError when it cannot be opened.
OwnedHandle OpenStep(const WText& path, DWORD access) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return OwnedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTrustedInstaller(PSID sid) {
  PSID trustedInstaller = nullptr;
  if (!ConvertStringSidToSidW(kTrustedInstallerSid, &trustedInstaller)) return false;
  bool equal = EqualSid(sid, trustedInstaller);
  LocalFree(trustedInstaller);
  return equal;
}

// Under Wine every file of the prefix belongs to the user who runs Wine,
// who is an administrator; on Windows an elevated administrator's own
// files are theirs in the same way.
bool IsThisAdministrator(PSID sid) {
  HANDLE token = nullptr;
  if (!RunsAsAdministrator() || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  bool equal = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
               EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
  CloseHandle(token);
  return equal;
}

WText AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    return domainSize ? WText(domain) + L"\\" + name : WText(name);
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"an unknown account";
  WText result = text;
  LocalFree(text);
  return result;
}

}  // namespace

bool RunsAsAdministrator() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  BOOL member = FALSE;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
         CheckTokenMembership(nullptr, administrators, &member) && member;
}

unsigned long ReadOwner(const WText& path, FileOwner& owner) {
  OwnedHandle step = OpenStep(path, READ_CONTROL);
  if (!step) return GetLastError();
  PSID sid = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetSecurityInfo(step.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &sid, nullptr, nullptr,
                                nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  owner.administrative = IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinLocalSystemSid) ||
                         IsTrustedInstaller(sid) || IsThisAdministrator(sid);
  owner.name = AccountName(sid);
  LocalFree(descriptor);
  return ERROR_SUCCESS;
}

bool KeepsAccessLists(const WText& path) {
  wchar_t volume[MAX_PATH + 1];
  DWORD flags = 0;
  return GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1) &&
         GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_PERSISTENT_ACLS);
}

SecurityDescriptor ProgramFolderDescriptor() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFolderList, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return nullptr;
  }
  return SecurityDescriptor(descriptor);
}

unsigned long CreateProgramFolder(const WText& path) {
  SecurityDescriptor descriptor = ProgramFolderDescriptor();
  if (!descriptor) return GetLastError();
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
  return CreateDirectoryW(path.c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
}

unsigned long GrantEveryoneFullAccess(const WText& path) {
  OwnedHandle target = OpenStep(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES);
  if (!target) return GetLastError();
  switch (ReachOfOpened(target.get(), path)) {
    case Reach::kObject: break;
    case Reach::kElsewhere: return kReparsePointEncountered;
    default: return GetLastError();
  }
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  if (!CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize)) return GetLastError();
  PACL existing = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetSecurityInfo(target.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &existing,
                          nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid);
  PACL merged = nullptr;
  error = SetEntriesInAclW(1, &access, existing, &merged);
  if (error == ERROR_SUCCESS) {
    error = SetSecurityInfo(target.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, merged,
                            nullptr);
  }
  LocalFree(merged);
  LocalFree(descriptor);
  return error;
}

}  // namespace ts
