#include "actions/restore_point.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <srrestoreptapi.h>

#include <cstdint>

#include "actions/install_log.h"
#include "core/ts_crash.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "state/installer_state.h"
#include "ui/progress.h"

namespace palisade {
namespace {

constexpr DWORD kBeginSystemChange = 100;
constexpr DWORD kEndSystemChange = 101;
constexpr DWORD kApplicationInstall = 0;
constexpr size_t kMaxDescription = 255;  // the record holds 256 characters with the terminator
constexpr DWORD kComExecuteRights = 3;   // COM_RIGHTS_EXECUTE | COM_RIGHTS_EXECUTE_LOCAL
constexpr DWORD kNoCustomMarshalNoActivateAsActivator = 0x3000;
constexpr int kTrustees = 5;

using SetRestorePointFunction = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

int64_t g_sequenceNumber = 0;

// The library is looked for once; a system without it stays without it.
SetRestorePointFunction SetRestorePoint(ts::WText& message) {
  static HMODULE library = ts::LoadSystemLibrary(L"srclient.dll");
  if (!library) {
    message = L"System Restore is not present.";
    return nullptr;
  }
  auto function = ts::FunctionOf<SetRestorePointFunction>(library, "SRSetRestorePointW");
  if (!function) message = L"SRSetRestorePointW is not present.";
  return function;
}

struct SetPointCall {
  SetRestorePointFunction function;
  RESTOREPOINTINFOW point;
  STATEMGRSTATUS status;
  BOOL succeeded;
};

// System Restore talks to its service through COM from the calling thread.
void SetPointOnThisThread(void* parameter) {
  SetPointCall& call = *static_cast<SetPointCall*>(parameter);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  call.succeeded = call.function(&call.point, &call.status);
  CoUninitialize();
}

// False when the library crashed.
bool SetPoint(SetPointCall& call) { return ts::CallGuarded(SetPointOnThisThread, &call); }

struct TrusteeSid {
  DWORD subAuthorities;
  DWORD first;
  DWORD second;
  const wchar_t* failure;
};

// Administrators first: the descriptor's owner and group are taken from it.
constexpr TrusteeSid kTrusteeSids[kTrustees] = {
    {2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, L"Unable to create admin SID."},
    {1, SECURITY_LOCAL_SERVICE_RID, 0, L"Unable to create local service SID."},
    {1, SECURITY_NETWORK_SERVICE_RID, 0, L"Unable to create network service SID."},
    {1, SECURITY_PRINCIPAL_SELF_RID, 0, L"Unable to create self SID."},
    {1, SECURITY_LOCAL_SYSTEM_RID, 0, L"Unable to create local system SID."},
};

struct ComSecurityParts {
  PSID sids[kTrustees] = {};
  PACL acl = nullptr;
  ~ComSecurityParts() {
    for (PSID sid : sids) {
      if (sid) FreeSid(sid);
    }
    if (acl) LocalFree(acl);
  }
};

bool CreateSids(ComSecurityParts& parts, ts::WText& message) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  for (int i = 0; i < kTrustees; ++i) {
    const TrusteeSid& t = kTrusteeSids[i];
    if (!AllocateAndInitializeSid(&nt, static_cast<BYTE>(t.subAuthorities), t.first, t.second, 0, 0, 0, 0, 0, 0,
                                  &parts.sids[i])) {
      message = t.failure;
      return false;
    }
  }
  return true;
}

bool CreateAcl(ComSecurityParts& parts, ts::WText& message) {
  EXPLICIT_ACCESSW access[kTrustees] = {};
  for (int i = 0; i < kTrustees; ++i) {
    access[i].grfAccessPermissions = kComExecuteRights;
    access[i].grfAccessMode = SET_ACCESS;
    access[i].grfInheritance = NO_INHERITANCE;
    access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access[i].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    access[i].Trustee.ptstrName = static_cast<LPWSTR>(parts.sids[i]);
  }
  if (SetEntriesInAclW(kTrustees, access, nullptr, &parts.acl) != ERROR_SUCCESS) {
    message = L"Unable to create ACL.";
    return false;
  }
  return true;
}

bool CreateDescriptor(SECURITY_DESCRIPTOR& descriptor, ComSecurityParts& parts, ts::WText& message) {
  PSID admins = parts.sids[0];
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
    message = L"Unable to create security descriptor.";
  } else if (!SetSecurityDescriptorOwner(&descriptor, admins, FALSE)) {
    message = L"Unable to set owner.";
  } else if (!SetSecurityDescriptorGroup(&descriptor, admins, FALSE)) {
    message = L"Unable to set group.";
  } else if (!SetSecurityDescriptorDacl(&descriptor, TRUE, parts.acl, FALSE)) {
    message = L"Unable to set ACL.";
  } else {
    return true;
  }
  return false;
}

}  // namespace

bool BeginRestorePoint(const ts::WText& description, ts::WText& message) {
  ts::WText security;
  if (!InitComSecurity(security)) {
    message = L"Failed to initialize COM security: " + security;
    return false;
  }
  SetPointCall call = {};
  call.function = SetRestorePoint(message);
  if (!call.function) return false;
  call.point.dwEventType = kBeginSystemChange;
  call.point.dwRestorePtType = kApplicationInstall;
  call.point.llSequenceNumber = 0;
  description.copy(call.point.szDescription, kMaxDescription);
  if (!SetPoint(call)) {
    message = L"Crashed";
    return false;
  }
  DWORD status = call.status.nStatus;
  if (call.succeeded) {
    g_sequenceNumber = call.status.llSequenceNumber;
    return true;
  }
  if (status == ERROR_SERVICE_DISABLED) {
    message = L"System Restore is turned off.";
  } else {
    message = ts::Format(L"Failed, code %u: %s", static_cast<unsigned>(status), ts::SystemErrorTextW(status).c_str());
  }
  return false;
}

bool InitComSecurity(ts::WText& message) {
  ComSecurityParts parts;
  SECURITY_DESCRIPTOR descriptor;
  if (!CreateSids(parts, message) || !CreateAcl(parts, message) || !CreateDescriptor(descriptor, parts, message)) {
    return false;
  }
  HRESULT result = CoInitializeSecurity(&descriptor, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                        RPC_C_IMP_LEVEL_IDENTIFY, nullptr, kNoCustomMarshalNoActivateAsActivator,
                                        nullptr);
  if (FAILED(result)) {
    message = ts::Format(L"Error 0x%08X: %s", static_cast<unsigned>(result),
                         ts::SystemErrorTextW(static_cast<DWORD>(result)).c_str());
    return false;
  }
  return true;
}

bool CommitRestorePoint() {
  if (!g_sequenceNumber) return false;
  ts::WText unused;
  SetPointCall call = {};
  call.function = SetRestorePoint(unused);
  call.point.dwEventType = kEndSystemChange;
  call.point.dwRestorePtType = kApplicationInstall;
  call.point.llSequenceNumber = g_sequenceNumber;
  g_sequenceNumber = 0;
  return call.function && SetPoint(call) && call.succeeded;
}

ts::WText RestorePointDescription(const ts::WText& product, const ts::WText& version) {
  return version.empty() ? product : product + L" " + version;
}

void CreateRestorePoint() {
  LogText("Creating restore point...");
  const format::SetupScript& script = g_installer.script;
  ts::WText description =
      RestorePointDescription(ts::WideFromUtf8(script.productName), ts::WideFromUtf8(script.displayVersion));
  ts::WText message;
  if (BeginRestorePoint(description, message)) {
    LogText("OK\r\n");
  } else {
    LogText("FAILED\r\n");
    LogWideConcat({message, L"\r\n\r\n"});
    g_installer.productFlags2 &= ~format::product_flags2::kRestorePoint;
  }
  SetStatusText(L"");
}

void FinishRestorePoint() {
  if (!(g_installer.productFlags2 & format::product_flags2::kRestorePoint)) return;
  if (!CommitRestorePoint()) LogText("Failed to commit restore point.\r\n");
}

}  // namespace palisade
