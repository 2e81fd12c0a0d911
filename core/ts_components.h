#pragma once
// Wrappers of the system facilities that make installed files known to
// Windows and forget them again: the font table, the Windows Installer,
// self-registering servers and driver packages. The libraries that not
// every system has are loaded from the system folder at run time.
#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "core/ts_text.h"

namespace ts {

// The font list key below HKEY_LOCAL_MACHINE, by the system family.
WText FontsKeyPath();
// Tells every top-level window that the font table changed.
void AnnounceFontChange();

// MsiSetInternalUI with `uiLevel` and `parent`, then MsiInstallProductW.
// The installer's result; ERROR_CALL_NOT_IMPLEMENTED when "MSI.DLL" or
// one of the two functions is missing. The library stays loaded.
UINT RunMsiPackage(const WText& package, int uiLevel, HWND parent, const WText& commandLine);
// The ProductCode property of the package at `package`, from its Property
// table; empty when the package or the library cannot tell.
WText MsiPackageProductCode(const WText& package);
// The product codes that the Windows Installer knows as installed, and
// whether it has one product installed; ERROR_CALL_NOT_IMPLEMENTED without
// the library.
UINT MsiInstalledProducts(std::vector<WText>& products);
UINT MsiProductInstalled(const WText& productCode, bool& installed);
// A property of an installed product (an INSTALLPROPERTY_ name such as
// "PackageName" or "InstallSource"); empty when unknown.
WText MsiProductInfo(const WText& productCode, const wchar_t* property);
// MsiSetInternalUI as for RunMsiPackage, then MsiConfigureProductExW that
// takes the product away with `commandLine`; ERROR_CALL_NOT_IMPLEMENTED
// without the library.
UINT RemoveMsiProduct(const WText& productCode, int uiLevel, HWND parent, const WText& commandLine);

// Starts regsvr32 from the system folder (never a program of that name
// elsewhere on the search path) with `arguments`, hidden, in the system
// folder, and waits. False when it did not start; `exitCode` otherwise.
bool RunRegsvr32(const WText& arguments, DWORD& exitCode);
// Loads the library at `path`, calls its export `name` (a function without
// arguments returning an HRESULT) when it has one, and frees it. False
// when the library did not load or lacks the export.
bool CallServerExport(const WText& path, const char* name);

// "Setupapi.dll" with the two functions of driver packages, loaded for the
// object's life.
class SetupApi {
 public:
  enum class State { kReady, kNoLibrary, kNoCopyFunction };

  SetupApi();
  ~SetupApi();
  SetupApi(const SetupApi&) = delete;
  SetupApi& operator=(const SetupApi&) = delete;

  State state() const { return state_; }
  // SetupCopyOEMInfW with SPOST_PATH: ERROR_SUCCESS and the name the
  // system gave the copy (possibly empty), or the error.
  DWORD CopyOemInf(const WText& infPath, WText& destination);
  // The name that the driver package at `infPath` (a copy in the system's
  // driver store) had before it was copied there; false when the system
  // cannot tell.
  bool OriginalInfName(const WText& infPath, WText& name);
  // SetupUninstallOEMInfW with SUOI_FORCEDELETE for an "oem*.inf" name;
  // false when the function is missing or refuses.
  bool UninstallOemInf(const WText& infName);

 private:
  HMODULE library_ = nullptr;
  State state_ = State::kNoLibrary;
  using CopyFunction = BOOL(WINAPI*)(const wchar_t* source, const wchar_t* media, DWORD mediaType, DWORD style,
                                     wchar_t* destination, DWORD capacity, DWORD* required, wchar_t** component);
  using UninstallFunction = BOOL(WINAPI*)(const wchar_t* name, DWORD flags, void* reserved);
  using InfInformationFunction = BOOL(WINAPI*)(const void* inf, DWORD search, SP_INF_INFORMATION* information,
                                               DWORD size, DWORD* required);
  using OriginalInfoFunction = BOOL(WINAPI*)(SP_INF_INFORMATION* information, UINT index, SP_ALTPLATFORM_INFO* platform,
                                             SP_ORIGINAL_FILE_INFO_W* original);
  CopyFunction copy_ = nullptr;
  UninstallFunction uninstall_ = nullptr;
  InfInformationFunction infInformation_ = nullptr;
  OriginalInfoFunction originalInfo_ = nullptr;
};

}  // namespace ts
