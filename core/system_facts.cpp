#include "core/system_facts.h"

#include <objbase.h>
#include <shlobj.h>

#include <functional>
#include <initializer_list>

#include "core/ts_format.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"

namespace ts {
namespace {

// RtlGetVersion tells the truth where GetVersionEx is subject to the
// compatibility shims of the application manifest.
OSVERSIONINFOEXW VersionInfo() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  auto rtlGetVersion = LoadedFunction<LONG(WINAPI*)(OSVERSIONINFOEXW*)>(L"ntdll.dll", "RtlGetVersion");
  if (!rtlGetVersion || rtlGetVersion(&info) != 0) GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
  return info;
}

void ReadVersion(SystemRecord& record) {
  OSVERSIONINFOEXW info = VersionInfo();
  record.platform = info.dwPlatformId;
  record.major = info.dwMajorVersion;
  record.minor = info.dwMinorVersion;
  // The 9x family keeps its version in the high word of the build number.
  record.build = info.dwPlatformId == kPlatform9x ? LOWORD(info.dwBuildNumber) : info.dwBuildNumber;
  record.productType = info.wProductType ? info.wProductType : static_cast<unsigned>(kWorkstation);
  record.suite = info.wSuiteMask;
}

// XP and Server 2003 tell these editions only through the system metrics.
void ReadEditionMarks(SystemRecord& record) {
  record.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
  record.starter = GetSystemMetrics(SM_STARTER) != 0;
  record.tabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
  record.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
}

void ReadEdition(SystemRecord& record) {
  using GetProductInfoFunction = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
  auto getProductInfo = LoadedFunction<GetProductInfoFunction>(L"kernel32.dll", "GetProductInfo");
  DWORD edition = 0;
  if (record.platform == kPlatformNt && record.major >= 6 && getProductInfo &&
      getProductInfo(record.major, record.minor, 0, 0, &edition) && edition != PRODUCT_UNLICENSED) {
    record.edition = edition;
  }
}

void ReadWine(SystemRecord& record) {
  auto wineVersion = LoadedFunction<const char*(CDECL*)()>(L"ntdll.dll", "wine_get_version");
  record.underWine = wineVersion != nullptr;
  if (wineVersion) record.wineVersion = wineVersion();
}

bool Is64BitSystem() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
}

SystemRecord ReadSystemRecord() {
  SystemRecord record;
  ReadVersion(record);
  ReadEditionMarks(record);
  ReadEdition(record);
  ReadWine(record);
  record.is64Bit = Is64BitSystem();
  return record;
}

// System bit ----------------------------------------------------------------

constexpr unsigned kLastWindows95Minor = 9;
constexpr unsigned kLastWindows98Minor = 89;
// Server 2016 and 2019 share version 10.0; the build tells them apart.
constexpr unsigned kFirstServer2019Build = 17733;

uint32_t Windows9xBit(const SystemRecord& s) {
  if (s.major != 4) return system_bit::kOther;
  if (s.minor <= kLastWindows95Minor) return system_bit::kWindows95;
  return s.minor <= kLastWindows98Minor ? system_bit::kWindows98 : system_bit::kWindowsMe;
}

uint32_t Nt5Bit(const SystemRecord& s) {
  switch (s.minor) {
    case 0: return system_bit::kWindows2000;
    case 1: return system_bit::kXp;
    case 2: return s.IsServer() ? system_bit::kServer2003 : system_bit::kXp;
    default: return system_bit::kOther;
  }
}

uint32_t Nt6Bit(const SystemRecord& s) {
  switch (s.minor) {
    case 0: return s.IsServer() ? system_bit::kServer2008 : system_bit::kVista;
    case 1: return s.IsServer() ? system_bit::kServer2008 : system_bit::kWindows7;
    case 2:
    case 3: return s.IsServer() ? system_bit::kServer2012 : system_bit::kWindows8;
    case 4: return system_bit::kWindows10;
    default: return system_bit::kOther;
  }
}

uint32_t Nt10Bit(const SystemRecord& s) {
  if (s.minor != 0) return system_bit::kOther;
  if (!s.IsServer()) return system_bit::kWindows10;
  return s.build < kFirstServer2019Build ? system_bit::kServer2016 : system_bit::kServer2019;
}

uint32_t NtBit(const SystemRecord& s) {
  if (s.major <= 3) return system_bit::kNt3;
  switch (s.major) {
    case 4: return system_bit::kNt4;
    case 5: return Nt5Bit(s);
    case 6: return Nt6Bit(s);
    case 10: return Nt10Bit(s);
    default: return system_bit::kOther;
  }
}

uint32_t WindowsBit(const SystemRecord& s) {
  switch (s.platform) {
    case kPlatformWin32s: return system_bit::kWin32s;
    case kPlatform9x: return Windows9xBit(s);
    case kPlatformNt: return NtBit(s);
    default: return system_bit::kOther;
  }
}

// System name ---------------------------------------------------------------

constexpr unsigned kFirstWindows95Osr2Build = 1111;
constexpr unsigned kFirstWindows98SeBuild = 2222;

WText VersionNumbers(const wchar_t* prefix, const SystemRecord& s) {
  return prefix + Format(L"%u.%u", s.major, s.minor);
}

WText Windows9xName(const SystemRecord& s) {
  switch (Windows9xBit(s)) {
    case system_bit::kWindows95: return s.build >= kFirstWindows95Osr2Build ? L"95 OSR2" : L"95";
    case system_bit::kWindows98: return s.build >= kFirstWindows98SeBuild ? L"98 SE" : L"98";
    case system_bit::kWindowsMe: return L"ME";
    default: return VersionNumbers(L"9x ", s);
  }
}

WText Nt52Name(const SystemRecord& s) {
  WText name;
  if (!s.IsServer()) {
    name = L"XP";
  } else if (s.suite & VER_SUITE_WH_SERVER) {
    name = L"Home Server";
  } else {
    name = s.suite & VER_SUITE_STORAGE_SERVER ? L"Storage Server 2003" : L"Server 2003";
    if (s.serverR2) name += L" R2";
  }
  if (s.is64Bit) name += L" x64";
  return name;
}

WText Nt61Name(const SystemRecord& s) {
  if (!s.IsServer()) return L"7";
  return s.edition == PRODUCT_HOME_PREMIUM_SERVER ? L"Home Server 2011" : L"Server 2008 R2";
}

WText Nt6Name(const SystemRecord& s) {
  switch (s.minor) {
    case 0: return s.IsServer() ? L"Server 2008" : L"Vista";
    case 1: return Nt61Name(s);
    case 2: return s.IsServer() ? L"Server 2012" : L"8";
    case 3: return s.IsServer() ? L"Server 2012 R2" : L"8.1";
    case 4: return L"10 alpha";
    default: return VersionNumbers(L"NT ", s);
  }
}

WText Nt5Name(const SystemRecord& s) {
  switch (s.minor) {
    case 0: return L"2000";
    case 1: return L"XP";
    case 2: return Nt52Name(s);
    default: return VersionNumbers(L"NT ", s);
  }
}

WText Nt10Name(const SystemRecord& s) {
  if (!s.IsServer()) return L"10";
  return s.build < kFirstServer2019Build ? L"Server 2016" : L"Server 2019";
}

WText NtName(const SystemRecord& s) {
  if (s.major <= 4) return VersionNumbers(L"NT ", s);
  if (s.major == 5) return Nt5Name(s);
  if (s.major == 6) return Nt6Name(s);
  if (s.major == 10 && s.minor == 0) return Nt10Name(s);
  return VersionNumbers(L"", s);
}

WText VersionName(const SystemRecord& s) {
  switch (s.platform) {
    case kPlatform9x: return Windows9xName(s);
    case kPlatformNt: return NtName(s);
    default: return VersionNumbers(L"", s);
  }
}

const wchar_t* Windows2000Edition(const SystemRecord& s) {
  if (!s.IsServer()) return L" Professional";
  if (s.suite & VER_SUITE_DATACENTER) return L" Datacenter Server";
  return s.suite & VER_SUITE_ENTERPRISE ? L" Advanced Server" : L" Server";
}

const wchar_t* XpEdition(const SystemRecord& s) {
  if (s.suite & VER_SUITE_EMBEDDEDNT) return L" Embedded";
  // Starter is built on Home and so carries the personal suite as well.
  if (s.starter) return L" Starter";
  if (s.suite & VER_SUITE_PERSONAL) return L" Home";
  if (s.mediaCenter) return L" Media Center";
  if (s.tabletPc) return L" Tablet PC";
  return L" Professional";
}

const wchar_t* Server2003Edition(const SystemRecord& s) {
  if (s.suite & VER_SUITE_BLADE) return L" Web";
  if (s.suite & VER_SUITE_COMPUTE_SERVER) return L" Compute Cluster";
  if (s.suite & VER_SUITE_DATACENTER) return L" Datacenter";
  return s.suite & VER_SUITE_ENTERPRISE ? L" Enterprise" : L"";
}

struct EditionText {
  unsigned edition;
  const wchar_t* text;
};

// GetProductInfo's product types, as the system's list names them.
constexpr EditionText kEditionTexts[] = {
    {PRODUCT_ULTIMATE, L" Ultimate"},
    {PRODUCT_HOME_BASIC, L" Home Basic"},
    {PRODUCT_HOME_PREMIUM, L" Home Premium"},
    {PRODUCT_ENTERPRISE, L" Enterprise"},
    {PRODUCT_HOME_BASIC_N, L" Home Basic N"},
    {PRODUCT_BUSINESS, L" Business"},
    {PRODUCT_STANDARD_SERVER, L" Server Standard"},
    {PRODUCT_DATACENTER_SERVER, L" Server Datacenter"},
    {PRODUCT_SMALLBUSINESS_SERVER, L" Small Business Server"},
    {PRODUCT_ENTERPRISE_SERVER, L" Server Enterprise"},
    {PRODUCT_STARTER, L" Starter"},
    {PRODUCT_DATACENTER_SERVER_CORE, L" Server Datacenter (core installation)"},
    {PRODUCT_STANDARD_SERVER_CORE, L" Server Standard (core installation)"},
    {PRODUCT_ENTERPRISE_SERVER_CORE, L" Server Enterprise (core installation)"},
    {PRODUCT_ENTERPRISE_SERVER_IA64, L" Server Enterprise for Itanium-based Systems"},
    {PRODUCT_BUSINESS_N, L" Business N"},
    {PRODUCT_WEB_SERVER, L" Web Server"},
    {PRODUCT_CLUSTER_SERVER, L" HPC Edition"},
    {PRODUCT_HOME_SERVER, L" Storage Server Essentials"},
    {PRODUCT_STORAGE_EXPRESS_SERVER, L" Storage Server Express"},
    {PRODUCT_STORAGE_STANDARD_SERVER, L" Storage Server Standard"},
    {PRODUCT_STORAGE_WORKGROUP_SERVER, L" Storage Server Workgroup"},
    {PRODUCT_STORAGE_ENTERPRISE_SERVER, L" Storage Server Enterprise"},
    {PRODUCT_SERVER_FOR_SMALLBUSINESS, L" Essential Server Solutions"},
    {PRODUCT_SMALLBUSINESS_SERVER_PREMIUM, L" Small Business Server Premium"},
    {PRODUCT_HOME_PREMIUM_N, L" Home Premium N"},
    {PRODUCT_ENTERPRISE_N, L" Enterprise N"},
    {PRODUCT_ULTIMATE_N, L" Ultimate N"},
    {PRODUCT_WEB_SERVER_CORE, L" Web Server (core installation)"},
    {PRODUCT_MEDIUMBUSINESS_SERVER_MANAGEMENT, L" Essential Business Server Management Server"},
    {PRODUCT_MEDIUMBUSINESS_SERVER_SECURITY, L" Essential Business Server Security Server"},
    {PRODUCT_MEDIUMBUSINESS_SERVER_MESSAGING, L" Essential Business Server Messaging Server"},
    {PRODUCT_SERVER_FOUNDATION, L" Server Foundation"},
    {PRODUCT_HOME_PREMIUM_SERVER, L" Home Server"},
    {PRODUCT_SERVER_FOR_SMALLBUSINESS_V, L" Essential Server Solutions without Hyper-V"},
    {PRODUCT_STANDARD_SERVER_V, L" Server Standard without Hyper-V"},
    {PRODUCT_DATACENTER_SERVER_V, L" Server Datacenter without Hyper-V"},
    {PRODUCT_ENTERPRISE_SERVER_V, L" Server Enterprise without Hyper-V"},
    {PRODUCT_DATACENTER_SERVER_CORE_V, L" Server Datacenter without Hyper-V (core installation)"},
    {PRODUCT_STANDARD_SERVER_CORE_V, L" Server Standard without Hyper-V (core installation)"},
    {PRODUCT_ENTERPRISE_SERVER_CORE_V, L" Server Enterprise without Hyper-V (core installation)"},
    {PRODUCT_HYPERV, L" Hyper-V Server"},
    {PRODUCT_STORAGE_EXPRESS_SERVER_CORE, L" Storage Server Express (core installation)"},
    {PRODUCT_STORAGE_STANDARD_SERVER_CORE, L" Storage Server Standard (core installation)"},
    {PRODUCT_STORAGE_WORKGROUP_SERVER_CORE, L" Storage Server Workgroup (core installation)"},
    {PRODUCT_STORAGE_ENTERPRISE_SERVER_CORE, L" Storage Server Enterprise (core installation)"},
    {PRODUCT_STARTER_N, L" Starter N"},
    {PRODUCT_PROFESSIONAL, L" Professional"},
    {PRODUCT_PROFESSIONAL_N, L" Professional N"},
    {PRODUCT_SB_SOLUTION_SERVER, L" Small Business Server 2011 Essentials"},
    {PRODUCT_SERVER_FOR_SB_SOLUTIONS, L" Server For SB Solutions"},
    {PRODUCT_STANDARD_SERVER_SOLUTIONS, L" Server Solutions Premium"},
    {PRODUCT_STANDARD_SERVER_SOLUTIONS_CORE, L" Server Solutions Premium (core installation)"},
    {PRODUCT_SB_SOLUTION_SERVER_EM, L" Server For SB Solutions EM"},
    {PRODUCT_SERVER_FOR_SB_SOLUTIONS_EM, L" Server For SB Solutions EM"},
    {PRODUCT_SOLUTION_EMBEDDEDSERVER, L" MultiPoint Server"},
    {PRODUCT_ESSENTIALBUSINESS_SERVER_MGMT, L" Essential Server Solution Management"},
    {PRODUCT_ESSENTIALBUSINESS_SERVER_ADDL, L" Essential Server Solution Additional"},
    {PRODUCT_ESSENTIALBUSINESS_SERVER_MGMTSVC, L" Essential Server Solution Management SVC"},
    {PRODUCT_ESSENTIALBUSINESS_SERVER_ADDLSVC, L" Essential Server Solution Additional SVC"},
    {PRODUCT_SMALLBUSINESS_SERVER_PREMIUM_CORE, L" Small Business Server Premium (core installation)"},
    {PRODUCT_CLUSTER_SERVER_V, L" Server Hyper Core V"},
    {PRODUCT_STARTER_E, L" Starter E"},
    {PRODUCT_HOME_BASIC_E, L" Home Basic E"},
    {PRODUCT_HOME_PREMIUM_E, L" Home Premium E"},
    {PRODUCT_PROFESSIONAL_E, L" Professional E"},
    {PRODUCT_ENTERPRISE_E, L" Enterprise E"},
    {PRODUCT_ULTIMATE_E, L" Ultimate E"},
    {PRODUCT_ENTERPRISE_EVALUATION, L" Enterprise Evaluation"},
    {PRODUCT_MULTIPOINT_STANDARD_SERVER, L" MultiPoint Server Standard"},
    {PRODUCT_MULTIPOINT_PREMIUM_SERVER, L" MultiPoint Server Premium"},
    {PRODUCT_STANDARD_EVALUATION_SERVER, L" Server Standard Evaluation"},
    {PRODUCT_DATACENTER_EVALUATION_SERVER, L" Server Datacenter Evaluation"},
    {PRODUCT_ENTERPRISE_N_EVALUATION, L" Enterprise N Evaluation"},
    {PRODUCT_STORAGE_WORKGROUP_EVALUATION_SERVER, L" Storage Server Workgroup Evaluation"},
    {PRODUCT_STORAGE_STANDARD_EVALUATION_SERVER, L" Storage Server Standard Evaluation"},
    {PRODUCT_CORE_N, L" Home N"},
    {PRODUCT_CORE_COUNTRYSPECIFIC, L" Home China"},
    {PRODUCT_CORE_SINGLELANGUAGE, L" Home Single Language"},
    {PRODUCT_CORE, L" Home"},
    {PRODUCT_PROFESSIONAL_WMC, L" Professional with Media Center"},
    {PRODUCT_EDUCATION, L" Education"},
    {PRODUCT_EDUCATION_N, L" Education N"},
    {PRODUCT_ENTERPRISE_S, L" Enterprise LTSB"},
    {PRODUCT_ENTERPRISE_S_N, L" Enterprise LTSB N"},
    {PRODUCT_ENTERPRISE_S_EVALUATION, L" Enterprise LTSB Evaluation"},
    {PRODUCT_ENTERPRISE_S_N_EVALUATION, L" Enterprise LTSB N Evaluation"},
    {PRODUCT_PROFESSIONAL_STUDENT, L" Professional Student"},
    {PRODUCT_PROFESSIONAL_STUDENT_N, L" Professional Student N"},
    {PRODUCT_MOBILE_CORE, L" Mobile"},
    {PRODUCT_MOBILE_ENTERPRISE, L" Mobile Enterprise"},
    {PRODUCT_IOTUAP, L" IoT Core"},
    {PRODUCT_NANO_SERVER, L" Nano Server"},
    {PRODUCT_CLOUD_STORAGE_SERVER, L" Cloud Storage Server"},
    {PRODUCT_ARM64_SERVER, L" ARM64 Server"},
};

const wchar_t* EditionFromNumber(unsigned edition) {
  for (const EditionText& entry : kEditionTexts) {
    if (entry.edition == edition) return entry.text;
  }
  return L"";
}

const wchar_t* EditionName(const SystemRecord& s) {
  if (s.platform != kPlatformNt || s.major < 5) return L"";
  if (s.major >= 6) return EditionFromNumber(s.edition);
  switch (NtBit(s)) {
    case system_bit::kWindows2000: return Windows2000Edition(s);
    case system_bit::kXp: return XpEdition(s);
    case system_bit::kServer2003: return Server2003Edition(s);
    default: return L"";
  }
}

// Folders -------------------------------------------------------------------

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

WText WithoutTrailingBackslash(WText path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The first source that knows the folder; later sources are not asked.
WText FirstFound(std::initializer_list<std::function<WText()>> sources) {
  for (const auto& source : sources) {
    WText folder = source();
    if (!folder.empty()) return folder;
  }
  return {};
}

WText ShellFolder(int id) {
  auto getPath = LoadedFunction<BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL)>(L"shell32.dll", "SHGetSpecialFolderPathW");
  wchar_t buffer[MAX_PATH] = {};
  if (!getPath || !getPath(nullptr, buffer, id, FALSE)) return {};
  return WithoutTrailingBackslash(buffer);
}

WText KnownFolder(const GUID& id) {
  auto getPath = LoadedFunction<HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*)>(L"shell32.dll",
                                                                                      "SHGetKnownFolderPath");
  PWSTR path = nullptr;
  if (!getPath || FAILED(getPath(id, 0, nullptr, &path))) return {};
  WText result = WithoutTrailingBackslash(path);
  CoTaskMemFree(path);
  return result;
}

WText RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  WText text;
  ReadRegistryText(root, key, value, text);
  return text;
}

WText EnvironmentText(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length && length < MAX_PATH ? WithoutTrailingBackslash(buffer) : WText();
}

WText Without(WText text, const WText& part) {
  size_t at = text.find(part);
  if (at != WText::npos) text.erase(at, part.size());
  return text;
}

constexpr wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

struct SpecialFolderSource {
  int shellId;
  const wchar_t* shellFoldersValue;
  bool allUsers;  // recorded for the machine rather than for the user
};

// In the order of SpecialFolderId.
constexpr SpecialFolderSource kSpecialFolders[] = {
    {CSIDL_COMMON_APPDATA, L"Common AppData", true},
    {CSIDL_APPDATA, L"AppData", false},
    {CSIDL_COMMON_DESKTOPDIRECTORY, L"Common Desktop", true},
    {CSIDL_DESKTOPDIRECTORY, L"Desktop", false},
    {CSIDL_COMMON_DOCUMENTS, L"Common Documents", true},
    {CSIDL_PERSONAL, L"Personal", false},
    {CSIDL_COMMON_FAVORITES, L"Common Favorites", true},
    {CSIDL_FAVORITES, L"Favorites", false},
    {CSIDL_FONTS, L"Fonts", false},
    {CSIDL_COMMON_PROGRAMS, L"Common Programs", true},
    {CSIDL_PROGRAMS, L"Programs", false},
    {CSIDL_COMMON_STARTMENU, L"Common Start Menu", true},
    {CSIDL_STARTMENU, L"Start Menu", false},
    {CSIDL_COMMON_STARTUP, L"Common Startup", true},
    {CSIDL_STARTUP, L"Startup", false},
};

constexpr GUID kProgramFilesKnownFolder = {0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
constexpr GUID kProgramFilesX64KnownFolder = {0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}};
constexpr GUID kCommonFilesKnownFolder = {0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};
constexpr GUID kCommonFilesX64KnownFolder = {0x6365D5A7, 0x0F0D, 0x45E5, {0x87, 0xF6, 0x0D, 0xA5, 0x6B, 0x6A, 0x4F, 0x7D}};

// The folder as the 32-bit installer sees it.
WText NativeProgramFilesFolder() {
  return FirstFound({
      [] { return ShellFolder(CSIDL_PROGRAM_FILES); },
      [] { return KnownFolder(kProgramFilesKnownFolder); },
      [] { return WithoutTrailingBackslash(RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProgramFilesDir")); },
      [] { return WText(L"c:\\Program Files"); },
  });
}

WText NativeCommonFilesFolder() {
  return FirstFound({
      [] { return ShellFolder(CSIDL_PROGRAM_FILES_COMMON); },
      [] { return KnownFolder(kCommonFilesKnownFolder); },
      [] { return WithoutTrailingBackslash(RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"CommonFilesDir")); },
      [] { return NativeProgramFilesFolder() + L"\\Common Files"; },
  });
}

constexpr wchar_t kX86Suffix[] = L" (x86)";
constexpr wchar_t kDefaultWebRoot[] = L"c:\\Inetpub\\wwwroot";

}  // namespace

const SystemRecord& System() {
  static const SystemRecord record = ReadSystemRecord();
  return record;
}

uint32_t SystemBit(const SystemRecord& record) {
  uint32_t bit = WindowsBit(record);
  return record.underWine ? bit | system_bit::kWine : bit;
}

uint32_t SystemBit() { return SystemBit(System()); }

WText SystemName(const SystemRecord& record, unsigned form) {
  WText name;
  if (!(form & system_name::kShort)) {
    if (record.underWine) name = L"WINE " + WideFromUtf8(record.wineVersion) + L" reporting as ";
    name += L"Windows ";
  }
  name += VersionName(record);
  if (!(form & (system_name::kWithoutEdition | system_name::kShort))) name += EditionName(record);
  return name;
}

WText SystemName(unsigned form) { return SystemName(System(), form); }

bool IsAtLeastServer2003OrVista() {
  const SystemRecord& s = System();
  return s.platform == kPlatformNt && (s.major >= 6 || (s.major == 5 && s.minor == 2 && s.IsServer()));
}

WText SpecialFolder(SpecialFolderId which) {
  return FirstFound({
      [=] { return ShellFolder(kSpecialFolders[static_cast<int>(which)].shellId); },
      [=] { return RecordedSpecialFolder(which); },
  });
}

WText RecordedSpecialFolder(SpecialFolderId which) {
  const SpecialFolderSource& source = kSpecialFolders[static_cast<int>(which)];
  HKEY root = source.allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  return WithoutTrailingBackslash(RegistryText(root, kShellFoldersKey, source.shellFoldersValue));
}

// A 32-bit process is given the 32-bit folders as its own; the 64-bit
// engine asks for them by their x86 names.
WText X86ProgramFilesFolder() {
#if defined(__x86_64__)
  return FirstFound({
      [] { return ShellFolder(CSIDL_PROGRAM_FILESX86); },
      [] { return WithoutTrailingBackslash(RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProgramFilesDir (x86)")); },
      [] { return NativeProgramFilesFolder() + kX86Suffix; },
  });
#else
  return NativeProgramFilesFolder();
#endif
}

WText X86CommonFilesFolder() {
#if defined(__x86_64__)
  return FirstFound({
      [] { return ShellFolder(CSIDL_PROGRAM_FILES_COMMONX86); },
      [] { return WithoutTrailingBackslash(RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"CommonFilesDir (x86)")); },
      [] { return X86ProgramFilesFolder() + L"\\Common Files"; },
  });
#else
  return NativeCommonFilesFolder();
#endif
}

WText ProgramFilesFolder(FolderKind kind) {
  if (!System().is64Bit) return NativeProgramFilesFolder();
  if (kind == FolderKind::k32Bit) return X86ProgramFilesFolder();
  return FirstFound({
      [] { return KnownFolder(kProgramFilesX64KnownFolder); },
      [] { return EnvironmentText(L"ProgramW6432"); },
      [] { return Without(NativeProgramFilesFolder(), kX86Suffix); },
  });
}

WText CommonFilesFolder(FolderKind kind) {
  if (!System().is64Bit) return NativeCommonFilesFolder();
  if (kind == FolderKind::k32Bit) return X86CommonFilesFolder();
  return FirstFound({
      [] { return KnownFolder(kCommonFilesX64KnownFolder); },
      [] { return EnvironmentText(L"CommonProgramW6432"); },
      [] { return Without(NativeCommonFilesFolder(), kX86Suffix); },
  });
}

WText WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  return WithoutTrailingBackslash(WText(buffer, length < MAX_PATH ? length : 0));
}

WText UserProfileFolder() {
  wchar_t buffer[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, buffer))
             ? WithoutTrailingBackslash(buffer)
             : WText();
}

WText TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return WithoutTrailingBackslash(WText(buffer, length <= MAX_PATH ? length : 0));
}

WText DriverFolder() {
  return DriverFolderFrom(RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"DevicePath"), WindowsFolder());
}

WText MediaFolder() {
  WText folder = RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"MediaPath");
  return folder.empty() ? WindowsFolder() + L"\\Media" : WithoutTrailingBackslash(folder);
}

WText WebServerFolder() {
  WText webRoot = RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\INetStp", L"PathWWWRoot");
  return WebServerFolderFrom(webRoot.empty() ? kDefaultWebRoot : webRoot);
}

WText BootDrive() {
  const wchar_t* setupKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
  return BootDriveFrom(RegistryText(HKEY_LOCAL_MACHINE, setupKey, L"BootDir"));
}

WText DriveOf(const WText& path) {
  bool hasDrive = path.size() >= 2 && path[1] == L':' && IsAsciiLetter(path[0]);
  return hasDrive ? path.substr(0, 2) : WText();
}

bool IsPortableFolder(const WText& folder) {
  WText drive = DriveOf(folder);
  return !drive.empty() && IsPortableDriveType(GetDriveTypeA(AnsiFromWide(drive + L"\\").c_str()));
}

WText DriverFolderFrom(const WText& devicePath, const WText& windowsFolder) {
  WText folder = devicePath.substr(0, devicePath.find(L';'));
  if (folder.empty()) return windowsFolder + L"\\INF";
  if (FindIgnoringCase(folder, L"%SystemRoot%") != WText::npos) ExpandEnvironmentText(folder, folder);
  return WithoutTrailingBackslash(folder);
}

WText WebServerFolderFrom(const WText& webRoot) {
  WText root = webRoot;
  ExpandEnvironmentText(webRoot, root);
  root = WithoutTrailingBackslash(root);
  size_t slash = root.rfind(L'\\');
  return slash == WText::npos ? root : WithoutTrailingBackslash(root.substr(0, slash));
}

WText BootDriveFrom(const WText& bootDir) {
  WText drive = DriveOf(bootDir);
  wchar_t letter = drive.empty() ? L'C' : static_cast<wchar_t>(towupper(drive[0]));
  return WText{letter, L':'};
}

bool IsPortableDriveType(UINT driveType) {
  return driveType == DRIVE_REMOVABLE || driveType == DRIVE_CDROM || driveType == DRIVE_RAMDISK;
}

namespace {

// What turning the redirection off handed back, for turning it on again.
PVOID g_redirectionState = nullptr;
bool g_redirectionDisabled = false;

}  // namespace

bool DisableFileSystemRedirection() {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return true;
  auto disable = LoadedFunction<BOOL(WINAPI*)(PVOID*)>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  if (!disable || !disable(&g_redirectionState)) return false;
  g_redirectionDisabled = true;
  return true;
}

void RestoreFileSystemRedirection() {
  if (!g_redirectionDisabled) return;
  auto revert = LoadedFunction<BOOL(WINAPI*)(PVOID)>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
  if (revert && revert(g_redirectionState)) g_redirectionDisabled = false;
}

}  // namespace ts
