#include "core/ts_components.h"

#include <vector>

#include "core/system_facts.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr wchar_t kFontsKeyNt[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kFontsKey9x[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr UINT kFontChangeTimeoutMs = 1000;
constexpr DWORD kOemSourceIsPath = 1;        // SPOST_PATH
constexpr DWORD kForceOemInfDeletion = 1;    // SUOI_FORCEDELETE
constexpr DWORD kInfNameCapacity = MAX_PATH;

using SetInternalUi = int(WINAPI*)(int level, HWND* parent);
using InstallProduct = UINT(WINAPI*)(const wchar_t* package, const wchar_t* commandLine);

}  // namespace

WText FontsKeyPath() { return System().platform == kPlatform9x ? kFontsKey9x : kFontsKeyNt; }

// A window that does not answer must not hold up the installation.
void AnnounceFontChange() {
  SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, kFontChangeTimeoutMs, nullptr);
}

UINT RunMsiPackage(const WText& package, int uiLevel, HWND parent, const WText& commandLine) {
  static HMODULE msi = LoadSystemLibrary(L"MSI.DLL");
  auto setInternalUi = FunctionOf<SetInternalUi>(msi, "MsiSetInternalUI");
  auto installProduct = FunctionOf<InstallProduct>(msi, "MsiInstallProductW");
  if (!setInternalUi || !installProduct) return ERROR_CALL_NOT_IMPLEMENTED;
  setInternalUi(uiLevel, &parent);
  return installProduct(package.c_str(), commandLine.c_str());
}

bool RunRegsvr32(const WText& arguments, DWORD& exitCode) {
  WText command = L"\"" + SystemFolder() + L"\\regsvr32.exe\" " + arguments;
  return RunAndWait(command, SystemFolder(), true, &exitCode);
}

bool CallServerExport(const WText& path, const char* name) {
  HMODULE server = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!server) return false;
  using ServerFunction = HRESULT(STDAPICALLTYPE*)();
  auto function = FunctionOf<ServerFunction>(server, name);
  if (function) function();
  FreeLibrary(server);
  return function != nullptr;
}

SetupApi::SetupApi() : library_(LoadSystemLibrary(L"Setupapi.dll")) {
  if (!library_) return;
  copy_ = FunctionOf<CopyFunction>(library_, "SetupCopyOEMInfW");
  uninstall_ = FunctionOf<UninstallFunction>(library_, "SetupUninstallOEMInfW");
  infInformation_ = FunctionOf<InfInformationFunction>(library_, "SetupGetInfInformationW");
  originalInfo_ = FunctionOf<OriginalInfoFunction>(library_, "SetupQueryInfOriginalFileInformationW");
  state_ = copy_ ? State::kReady : State::kNoCopyFunction;
}

SetupApi::~SetupApi() {
  if (library_) FreeLibrary(library_);
}

DWORD SetupApi::CopyOemInf(const WText& infPath, WText& destination) {
  if (!copy_) return ERROR_CALL_NOT_IMPLEMENTED;
  wchar_t name[kInfNameCapacity] = {};
  if (!copy_(infPath.c_str(), nullptr, kOemSourceIsPath, 0, name, kInfNameCapacity, nullptr, nullptr)) {
    return GetLastError();
  }
  destination = name;
  return ERROR_SUCCESS;
}

bool SetupApi::OriginalInfName(const WText& infPath, WText& name) {
  if (!infInformation_ || !originalInfo_) return false;
  DWORD size = 0;
  if (!infInformation_(infPath.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size) || size == 0) return false;
  std::vector<BYTE> information(size);
  auto* info = reinterpret_cast<SP_INF_INFORMATION*>(information.data());
  if (!infInformation_(infPath.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info, size, nullptr)) return false;
  SP_ORIGINAL_FILE_INFO_W original = {};
  original.cbSize = sizeof(original);
  if (!originalInfo_(info, 0, nullptr, &original)) return false;
  name = original.OriginalInfName;
  return true;
}

bool SetupApi::UninstallOemInf(const WText& infName) {
  if (!uninstall_) return false;
  return uninstall_(infName.c_str(), kForceOemInfDeletion, nullptr) != FALSE;
}

}  // namespace ts
