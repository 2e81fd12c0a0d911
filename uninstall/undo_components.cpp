#include "uninstall/undo_components.h"

#include <windows.h>

#include <set>

#include "actions/drivers.h"
#include "actions/file_destination.h"
#include "actions/install_log.h"
#include "actions/msi_packages.h"
#include "core/system_facts.h"
#include "core/ts_components.h"
#include "core/ts_format.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"
#include "ui/message_box.h"

namespace palisade {
namespace {

constexpr int kRemoveFontQuestion = 56;
constexpr int kRemoveFontCaption = 57;
constexpr wchar_t kRemoveCommandLine[] = L"REBOOT=R REMOVE=ALL";
constexpr wchar_t kInstallSourceProperty[] = L"InstallSource";  // INSTALLPROPERTY_INSTALLSOURCE
constexpr wchar_t kPackageNameProperty[] = L"PackageName";      // INSTALLPROPERTY_PACKAGENAME

// The list comes from the registry: a file name with a folder in it could
// reach a file that is not a font of this product.
bool IsBareFileName(const ts::WText& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == ts::WText::npos;
}

bool UserKeepsFont(const ts::WText& face) {
  bool asks = !g_installer.flags.automatic &&
              (g_installer.script.productFlagsLow & format::product_flags_low::kAskBeforeRemovingFonts);
  return asks && !Ask(FillConversions(MessageWithTags(kRemoveFontQuestion), {face}), MessageWithTags(kRemoveFontCaption));
}

void RemoveFont(const ts::WText& face, const ts::WText& file) {
  ts::RegistryKey fonts;
  if (!face.empty() && fonts.Open(HKEY_LOCAL_MACHINE, ts::FontsKeyPath(), KEY_SET_VALUE) == ERROR_SUCCESS) {
    fonts.DeleteValue(face);
  }
  RemoveFontResourceW(file.c_str());
  DeleteFileW((ts::SpecialFolder(ts::SpecialFolderId::kFonts) + L"\\" + file).c_str());
}

// The record may have been edited by anyone who can write the installation
// folder: a line stands for a product only when the Windows Installer
// itself says that the product was installed from that package of the
// installation folder.
bool IsInstalledFrom(const ts::WText& productCode, const ts::WText& package) {
  ts::WText source = ts::MsiProductInfo(productCode, kInstallSourceProperty);
  while (!source.empty() && source.back() == L'\\') source.pop_back();
  ts::WText folder = package.substr(0, package.find_last_of(L'\\'));
  ts::WText name = package.substr(package.find_last_of(L'\\') + 1);
  return !source.empty() && _wcsicmp(source.c_str(), folder.c_str()) == 0 &&
         _wcsicmp(ts::MsiProductInfo(productCode, kPackageNameProperty).c_str(), name.c_str()) == 0;
}

// The installed products that a line may stand for: its recorded code
// while that product is installed, or, for a line of an older
// installation, every installed product.
UINT CandidateProducts(const RecordedPackage& package, std::vector<ts::WText>& candidates) {
  if (package.productCode.empty()) return ts::MsiInstalledProducts(candidates);
  bool installed = false;
  UINT result = ts::MsiProductInstalled(package.productCode, installed);
  if (installed) candidates.push_back(package.productCode);
  return result;
}

// False when the package stays installed.
bool RemovePackage(const RecordedPackage& package, const ts::Text& line) {
  std::vector<ts::WText> candidates;
  UINT result = CandidateProducts(package, candidates);
  // A product that is gone already has nothing left to remove.
  if (result == ERROR_SUCCESS && !package.productCode.empty() && candidates.empty()) return true;
  if (result == ERROR_SUCCESS) {
    result = ERROR_UNKNOWN_PRODUCT;
    for (const ts::WText& productCode : candidates) {
      if (!IsPathInFolder(package.path, g_installer.installFolder) || !IsInstalledFrom(productCode, package.path)) continue;
      result = ts::RemoveMsiProduct(productCode, package.uiLevel, g_installer.backgroundWindow, kRemoveCommandLine);
      break;
    }
  }
  if (result == ERROR_SUCCESS) return true;
  AddToFailureSummary(ts::Format(L"Failed to uninstall %s, code %d: %s\r\n", package.path.c_str(),
                                 static_cast<int>(result), ts::SystemErrorTextW(result).c_str()));
  RecordSectionLine(RecordSection::kPackages, line);
  return false;
}

// The names of the driver packages among the product's recorded files, in
// lower case: the record may have been edited by anyone who can write the
// installation folder, so a copy in the driver store goes only when the
// system says it was made from one of the product's own packages.
std::set<ts::WText> ProductsInfNames(const ts::Vector<ts::Text>& entries, const ts::WText& installFolder) {
  constexpr std::wstring_view kInfExtension = L".inf";
  std::set<ts::WText> names;
  for (const ts::Text& stored : entries) {
    RecordedEntry entry = ParseEntry(stored);
    ts::WText name = ts::AsciiLowerCase(entry.text.substr(entry.text.find_last_of(L'\\') + 1));
    if (entry.kind == RemovalKind::kFile && name.ends_with(kInfExtension) && IsPathInFolder(entry.text, installFolder)) {
      names.insert(name);
    }
  }
  return names;
}

}  // namespace

std::vector<std::pair<ts::WText, ts::WText>> ParseFontList(const ts::WText& productFonts) {
  std::vector<ts::WText> quoted;
  size_t open = productFonts.find(L'"');
  while (open != ts::WText::npos) {
    size_t close = productFonts.find(L'"', open + 1);
    if (close == ts::WText::npos) break;
    quoted.push_back(productFonts.substr(open + 1, close - open - 1));
    open = productFonts.find(L'"', close + 1);
  }
  std::vector<std::pair<ts::WText, ts::WText>> fonts;
  for (size_t i = 0; i + 1 < quoted.size(); i += 2) fonts.emplace_back(quoted[i], quoted[i + 1]);
  return fonts;
}

void RemoveFonts(const ts::WText& productFonts) {
  bool removed = false;
  for (const auto& [face, file] : ParseFontList(productFonts)) {
    if (!IsBareFileName(file) || UserKeepsFont(face)) continue;
    RemoveFont(face, file);
    removed = true;
  }
  if (removed) ts::AnnounceFontChange();
}

// Only the packages that stay are written back.
std::vector<ts::WText> RemovePackages(const ts::Vector<ts::Text>& packages) {
  g_uninstallRecord.packages.clear();
  std::vector<ts::WText> kept;
  for (const ts::Text& line : packages) {
    RecordedPackage package;
    if (!ParsePackageLine(line, package)) continue;
    if (!RemovePackage(package, line)) kept.push_back(package.path);
  }
  return kept;
}

void RemoveDrivers(const ts::Vector<ts::Text>& drivers, const ts::Vector<ts::Text>& entries,
                   const ts::WText& installFolder) {
  std::set<ts::WText> products = ProductsInfNames(entries, installFolder);
  ts::SetupApi setupApi;
  for (const ts::Text& line : drivers) {
    ts::WText path = WideFromStoredText(line);
    ts::WText name = path.substr(path.find_last_of(L'\\') + 1);
    // Only a copy of the system's own naming, in its own folder, is touched.
    if (!IsOemInfName(name)) continue;
    ts::WText copy = ts::WindowsFolder() + L"\\inf\\" + name;
    ts::WText original;
    if (!setupApi.OriginalInfName(copy, original) || !products.count(ts::AsciiLowerCase(original))) continue;
    DWORD attributes = GetFileAttributesW(copy.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(copy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    setupApi.UninstallOemInf(name);
  }
}

}  // namespace palisade
