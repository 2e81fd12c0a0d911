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
using MsiHandle = unsigned long;
using OpenDatabase = UINT(WINAPI*)(const wchar_t* path, const wchar_t* persist, MsiHandle* database);
using OpenView = UINT(WINAPI*)(MsiHandle database, const wchar_t* query, MsiHandle* view);
using ViewExecute = UINT(WINAPI*)(MsiHandle view, MsiHandle parameters);
using ViewFetch = UINT(WINAPI*)(MsiHandle view, MsiHandle* record);
using RecordGetString = UINT(WINAPI*)(MsiHandle record, UINT field, wchar_t* text, DWORD* size);
using CloseHandleFunction = UINT(WINAPI*)(MsiHandle handle);
using EnumProducts = UINT(WINAPI*)(DWORD index, wchar_t* productCode);
using QueryProductState = int(WINAPI*)(const wchar_t* productCode);
using GetProductInfo = UINT(WINAPI*)(const wchar_t* productCode, const wchar_t* property, wchar_t* text, DWORD* size);
using ConfigureProduct = UINT(WINAPI*)(const wchar_t* productCode, int level, int state, const wchar_t* commandLine);

// MSIDBOPEN_READONLY is the persist mode 0 given as a text pointer.
const wchar_t* const kMsiReadOnly = nullptr;
constexpr wchar_t kProductCodeQuery[] = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'";
constexpr DWORD kMsiTextCapacity = 1024;
constexpr int kInstallStateDefault = 5;  // INSTALLSTATE_DEFAULT: installed
constexpr int kInstallStateAbsent = 2;   // INSTALLSTATE_ABSENT
constexpr int kInstallLevelDefault = 0;  // INSTALLLEVEL_DEFAULT

// Loaded once from the system folder, on first use, and kept.
HMODULE MsiLibrary() {
  static HMODULE msi = LoadSystemLibrary(L"MSI.DLL");
  return msi;
}

}  // namespace

WText FontsKeyPath() { return System().platform == kPlatform9x ? kFontsKey9x : kFontsKeyNt; }

// A window that does not answer must not hold up the installation.
void AnnounceFontChange() {
  SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, kFontChangeTimeoutMs, nullptr);
}

UINT RunMsiPackage(const WText& package, int uiLevel, HWND parent, const WText& commandLine) {
  auto setInternalUi = FunctionOf<SetInternalUi>(MsiLibrary(), "MsiSetInternalUI");
  auto installProduct = FunctionOf<InstallProduct>(MsiLibrary(), "MsiInstallProductW");
  if (!setInternalUi || !installProduct) return ERROR_CALL_NOT_IMPLEMENTED;
  setInternalUi(uiLevel, &parent);
  return installProduct(package.c_str(), commandLine.c_str());
}

WText MsiPackageProductCode(const WText& package) {
  auto openDatabase = FunctionOf<OpenDatabase>(MsiLibrary(), "MsiOpenDatabaseW");
  auto openView = FunctionOf<OpenView>(MsiLibrary(), "MsiDatabaseOpenViewW");
  auto execute = FunctionOf<ViewExecute>(MsiLibrary(), "MsiViewExecute");
  auto fetch = FunctionOf<ViewFetch>(MsiLibrary(), "MsiViewFetch");
  auto field = FunctionOf<RecordGetString>(MsiLibrary(), "MsiRecordGetStringW");
  auto close = FunctionOf<CloseHandleFunction>(MsiLibrary(), "MsiCloseHandle");
  if (!openDatabase || !openView || !execute || !fetch || !field || !close) return WText();
  MsiHandle database = 0, view = 0, record = 0;
  WText code;
  if (openDatabase(package.c_str(), kMsiReadOnly, &database) == ERROR_SUCCESS &&
      openView(database, kProductCodeQuery, &view) == ERROR_SUCCESS && execute(view, 0) == ERROR_SUCCESS &&
      fetch(view, &record) == ERROR_SUCCESS) {
    wchar_t text[kMsiTextCapacity] = {};
    DWORD size = kMsiTextCapacity;
    if (field(record, 1, text, &size) == ERROR_SUCCESS) code = text;
  }
  for (MsiHandle handle : {record, view, database}) {
    if (handle) close(handle);
  }
  return code;
}

UINT MsiInstalledProducts(std::vector<WText>& products) {
  auto enumProducts = FunctionOf<EnumProducts>(MsiLibrary(), "MsiEnumProductsW");
  if (!enumProducts) return ERROR_CALL_NOT_IMPLEMENTED;
  wchar_t code[kMsiTextCapacity] = {};
  for (DWORD index = 0; enumProducts(index, code) == ERROR_SUCCESS; ++index) products.emplace_back(code);
  return ERROR_SUCCESS;
}

UINT MsiProductInstalled(const WText& productCode, bool& installed) {
  auto queryState = FunctionOf<QueryProductState>(MsiLibrary(), "MsiQueryProductStateW");
  if (!queryState) return ERROR_CALL_NOT_IMPLEMENTED;
  installed = queryState(productCode.c_str()) == kInstallStateDefault;
  return ERROR_SUCCESS;
}

WText MsiProductInfo(const WText& productCode, const wchar_t* property) {
  auto productInfo = FunctionOf<GetProductInfo>(MsiLibrary(), "MsiGetProductInfoW");
  wchar_t text[kMsiTextCapacity] = {};
  DWORD size = kMsiTextCapacity;
  if (!productInfo || productInfo(productCode.c_str(), property, text, &size) != ERROR_SUCCESS) return WText();
  return text;
}

UINT RemoveMsiProduct(const WText& productCode, int uiLevel, HWND parent, const WText& commandLine) {
  auto setInternalUi = FunctionOf<SetInternalUi>(MsiLibrary(), "MsiSetInternalUI");
  auto configure = FunctionOf<ConfigureProduct>(MsiLibrary(), "MsiConfigureProductExW");
  if (!setInternalUi || !configure) return ERROR_CALL_NOT_IMPLEMENTED;
  setInternalUi(uiLevel, &parent);
  return configure(productCode.c_str(), kInstallLevelDefault, kInstallStateAbsent, commandLine.c_str());
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
