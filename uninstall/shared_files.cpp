#include "uninstall/shared_files.h"

#include <windows.h>
#include <oleauto.h>

#include "actions/install_log.h"
#include "core/ts_components.h"
#include "core/ts_no_follow.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "record/record_text.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

constexpr wchar_t kCountsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr REGSAM kKeyAccess = 0x2000F;
constexpr int kRemoveSharedFileQuestion = 59;
constexpr int kRemoveSharedFileCaption = 35;
constexpr wchar_t kComMarker = L'^';
constexpr wchar_t kKeepMarker = L' ';
constexpr wchar_t kTypeLibraryMarker = 0xA9;

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }

// The file phase's entry: a marker character, if any, then the path.
SharedFile FromEntry(const ts::WText& entry) {
  if (entry.empty()) return {};
  switch (entry[0]) {
    case kKeepMarker: return {entry.substr(1), SharedFileMarker::kKeep};
    case kComMarker: return {entry.substr(1), SharedFileMarker::kComServer};
    case kTypeLibraryMarker: return {entry.substr(1), SharedFileMarker::kTypeLibrary};
    default: return {entry, SharedFileMarker::kDelete};
  }
}

bool StripTrailing(std::string_view& text, char marker) {
  if (text.empty() || text.back() != marker) return false;
  text.remove_suffix(1);
  return true;
}

void UnregisterComServer(const ts::WText& path) {
  DWORD exitCode = 1;
  if (ts::RunRegsvr32(L"/s /u \"" + path + L"\"", exitCode) && exitCode == 0) return;
  ts::CallServerExport(path, "DllUnregisterServer");
}

void UnregisterTypeLibrary(const ts::WText& path) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return;
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes))) {
    UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                      attributes->syskind);
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
}

// The list comes from the registry: only a plain local file that no link
// leads to is unregistered or deleted.
void RemoveUnusedFile(const SharedFile& file) {
  if (file.marker == SharedFileMarker::kKeep || !IsPlainLocalPath(file.path) || ts::LeadsElsewhere(file.path)) return;
  if (file.marker == SharedFileMarker::kComServer) UnregisterComServer(file.path);
  if (file.marker == SharedFileMarker::kTypeLibrary) UnregisterTypeLibrary(file.path);
  DWORD attributes = GetFileAttributesW(file.path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  bool ask = !g_installer.flags.automatic && LowFlag(format::product_flags_low::kAskBeforeRemovingSharedFiles);
  if (ask && !Ask(FillConversions(MessageWithTags(kRemoveSharedFileQuestion), {file.path}),
                  MessageWithTags(kRemoveSharedFileCaption))) {
    return;
  }
  ts::DeleteThroughHandle(file.path, ts::ObjectKind::kFile);
}

void Release(ts::RegistryKey& counts, const SharedFile& file) {
  DWORD stored = 0;
  if (!counts.ReadNumber(file.path, stored)) return;
  CountRelease release = ReleaseCount(static_cast<int32_t>(stored));
  if (release.writeCount) counts.SetNumber(file.path, release.count);
  if (release.deleteCount) counts.DeleteValue(file.path);
  if (release.lastUser) RemoveUnusedFile(file);
}

}  // namespace

ts::Text SharedFileItem(const ts::WText& entry) {
  SharedFile file = FromEntry(entry);
  ts::Text item = "\"" + StoredText(file.path);
  if (file.marker != SharedFileMarker::kDelete) item += static_cast<char>(file.marker);
  return item + "\"";
}

std::vector<SharedFile> SharedFileItems(std::string_view list) {
  std::vector<SharedFile> files;
  for (size_t open = list.find('"'); open != std::string_view::npos; open = list.find('"', open)) {
    size_t close = list.find('"', open + 1);
    if (close == std::string_view::npos) break;
    std::string_view item = list.substr(open + 1, close - open - 1);
    open = close + 1;
    bool com = StripTrailing(item, static_cast<char>(SharedFileMarker::kComServer));
    bool keep = StripTrailing(item, static_cast<char>(SharedFileMarker::kKeep));
    bool typeLibrary = StripTrailing(item, static_cast<char>(SharedFileMarker::kTypeLibrary));
    if (item.empty()) continue;
    SharedFileMarker marker = keep          ? SharedFileMarker::kKeep
                              : com         ? SharedFileMarker::kComServer
                              : typeLibrary ? SharedFileMarker::kTypeLibrary
                                            : SharedFileMarker::kDelete;
    files.push_back({WideFromStoredText(item), marker});
  }
  return files;
}

ts::Text WithSharedFileItem(const ts::Text& list, const ts::Text& item) {
  if (list.find(item) != ts::Text::npos) return list;
  return list.empty() ? item : list + ";" + item;
}

CountRelease ReleaseCount(int32_t count) {
  if (count <= 0) return {true, false, false, 0};
  uint32_t left = static_cast<uint32_t>(count) - 1;
  return {left == 0, left > 0, left == 0, left};
}

void CountSharedFiles() {
  bool hasUninstaller = LowFlag(format::product_flags_low::kPreviousInstallation);
  const ts::Vector<ts::WText>& entries = g_installer.followUps.sharedFiles;
  if (!hasUninstaller || g_installer.portable || entries.Empty()) return;
  ts::RegistryKey counts;
  if (counts.Create(HKEY_LOCAL_MACHINE, kCountsKey, kKeyAccess) != ERROR_SUCCESS) {
    AddToFailureSummary("Registry error: unable to increment shared file reference counts.\r\n\r\n");
    return;
  }
  ts::Text& list = g_installer.sharedFileList;
  for (const ts::WText& entry : entries) {
    ts::Text extended = WithSharedFileItem(list, SharedFileItem(entry));
    if (extended == list) continue;
    list = extended;
    ts::WText path = FromEntry(entry).path;
    DWORD count = 0;
    counts.ReadNumber(path, count);
    LONG error = counts.SetNumber(path, count + 1);
    if (error != ERROR_SUCCESS) {
      LogWideConcat({L"Failed to increment reference count of shared file \"", path, L"\" : ",
                     ts::SystemErrorTextW(static_cast<DWORD>(error)), L"\r\n"});
    }
  }
}

// The list was stored through the system's ANSI interface, so it is read
// back through the same code page.
void ReleaseSharedFiles(const ts::WText& sharedFiles, bool portable) {
  ts::Text list = ts::AnsiFromWide(sharedFiles);
  if (portable || list.empty()) return;
  ts::RegistryKey counts;
  if (counts.Open(HKEY_LOCAL_MACHINE, kCountsKey, kKeyAccess) != ERROR_SUCCESS) {
    AddToFailureSummary("REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n");
    return;
  }
  for (const SharedFile& file : SharedFileItems(list)) Release(counts, file);
}

}  // namespace palisade
