#include "core/ts_security.h"

#include <windows.h>
#include <aclapi.h>

namespace ts {

unsigned long GrantEveryoneFullAccess(const WText& path) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  if (!CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize)) return GetLastError();
  PACL existing = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &existing, nullptr, &descriptor);
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
    error = SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, merged, nullptr);
  }
  LocalFree(merged);
  LocalFree(descriptor);
  return error;
}

}  // namespace ts
