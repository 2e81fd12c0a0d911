#include "uninstall/registry_safety.h"

#include <windows.h>

#include <vector>

#include "core/ts_registry.h"

namespace palisade {
namespace {

const wchar_t* const kSystemHives[] = {L"system", L"sam", L"security", L"hardware", L"bcd00000000"};

// Below Software, as every hive and both views spell it. Neither these
// keys, nor a key inside one, nor a key that holds one may be deleted.
const wchar_t* const kSystemKeys[] = {
    L"microsoft\\windows",        L"microsoft\\windows nt",     L"microsoft\\cryptography",
    L"microsoft\\ole",            L"microsoft\\active setup",   L"microsoft\\internet explorer",
    L"microsoft\\windows defender", L"policies",                L"classes\\clsid",
    L"classes\\interface",        L"classes\\typelib",          L"classes\\appid",
    L"classes\\*",                L"classes\\allfilesystemobjects", L"classes\\directory",
    L"classes\\drive",            L"classes\\folder",           L"classes\\exefile",
    L"classes\\batfile",          L"classes\\cmdfile",          L"classes\\comfile",
    L"classes\\lnkfile",          L"classes\\piffile",          L"classes\\scrfile",
    L"classes\\regfile",          L"classes\\htafile",          L"classes\\msi.package",
};

// The files that Windows runs, opens as programs or follows: their
// extensions' keys and the classes those name belong to the system.
const wchar_t* const kProgramExtensions[] = {L".exe", L".bat", L".cmd", L".com", L".lnk", L".pif", L".scr",
                                             L".reg", L".msi", L".hta", L".vbs", L".js",  L".cpl", L".dll"};

// Lists inside the system's keys where each product adds an entry of its
// own (an installation records its control panel applet's class and name
// space entry, and the uninstaller deletes the product's own Uninstall key).
const wchar_t* const kRegistrationLists[] = {
    L"microsoft\\windows\\currentversion\\app paths",
    L"microsoft\\windows\\currentversion\\uninstall",
    L"microsoft\\windows\\currentversion\\explorer\\controlpanel\\namespace",
    L"microsoft\\windows\\currentversion\\explorer\\desktop\\namespace",
    L"microsoft\\windows\\currentversion\\explorer\\mycomputer\\namespace",
    L"classes\\clsid",
};

constexpr wchar_t kClassesHiveSuffix[] = L"_classes";

std::vector<ts::WText> LowerCaseSteps(const ts::WText& text) {
  std::vector<ts::WText> steps;
  ts::WText lower = ts::AsciiLowerCase(text);
  for (size_t start = 0;;) {
    size_t end = lower.find(L'\\', start);
    steps.push_back(lower.substr(start, end == ts::WText::npos ? ts::WText::npos : end - start));
    if (end == ts::WText::npos) return steps;
    start = end + 1;
  }
}

// At least two steps below the root (below a user's hive in HKEY_USERS),
// none empty, outside the machine's configuration hives.
bool IsInAProductsReach(const ts::WText& path) {
  ts::WText rest;
  HKEY root = ts::RootKeyOf(path, rest);
  if (!root) return false;
  std::vector<ts::WText> steps = LowerCaseSteps(rest);
  if (root == HKEY_USERS) steps.erase(steps.begin());
  if (steps.size() < 2) return false;
  for (const ts::WText& step : steps) {
    if (step.empty()) return false;
  }
  for (const wchar_t* hive : kSystemHives) {
    if (steps[0] == hive) return false;
  }
  return true;
}

// The key's path below Software, lower-cased, the same in every hive: the
// classes root and a user's classes hive are Software\Classes, and the
// 32-bit view's Wow6432Node step is dropped. False for a key outside
// Software and for Software itself.
bool PathBelowSoftware(const ts::WText& path, ts::WText& below) {
  ts::WText rest;
  HKEY root = ts::RootKeyOf(path, rest);
  std::vector<ts::WText> steps = LowerCaseSteps(rest);
  if (root == HKEY_CLASSES_ROOT) {
    steps.insert(steps.begin(), {L"software", L"classes"});
  } else if (root == HKEY_USERS) {
    const ts::WText& hive = steps.front();
    bool classesHive = hive.size() > wcslen(kClassesHiveSuffix) && hive.ends_with(kClassesHiveSuffix);
    steps.erase(steps.begin());
    if (classesHive) steps.insert(steps.begin(), {L"software", L"classes"});
  } else if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) {
    return false;
  }
  if (steps.empty() || steps[0] != L"software") return false;
  steps.erase(steps.begin());
  if (!steps.empty() && steps[0] == L"wow6432node") steps.erase(steps.begin());
  if (steps.size() >= 2 && steps[0] == L"classes" && steps[1] == L"wow6432node") steps.erase(steps.begin() + 1);
  if (steps.empty()) return false;
  below = steps[0];
  for (size_t i = 1; i < steps.size(); ++i) below += L"\\" + steps[i];
  return true;
}

bool IsInside(const ts::WText& key, const ts::WText& outer) {
  return key.size() > outer.size() && key.compare(0, outer.size(), outer) == 0 && key[outer.size()] == L'\\';
}

bool IsSameOrInside(const ts::WText& key, const ts::WText& outer) { return key == outer || IsInside(key, outer); }

// The system's keys below Software, with the extensions of programs and
// the classes that they name on this machine.
std::vector<ts::WText> SystemKeys() {
  std::vector<ts::WText> keys(std::begin(kSystemKeys), std::end(kSystemKeys));
  for (const wchar_t* extension : kProgramExtensions) {
    keys.push_back(ts::WText(L"classes\\") + extension);
    ts::WText named;
    if (ts::ReadRegistryText(HKEY_CLASSES_ROOT, extension, L"", named) && !named.empty() &&
        named.find(L'\\') == ts::WText::npos) {
      keys.push_back(L"classes\\" + ts::AsciiLowerCase(named));
    }
  }
  return keys;
}

bool HoldsSystemKey(const ts::WText& below, const std::vector<ts::WText>& systemKeys) {
  for (const ts::WText& system : systemKeys) {
    if (IsSameOrInside(system, below)) return true;
  }
  return false;
}

bool IsListEntry(const ts::WText& below) {
  for (const wchar_t* list : kRegistrationLists) {
    if (IsInside(below, list)) return true;
  }
  return false;
}

}  // namespace

bool IsRemovableRegistryValueKey(const ts::WText& path) {
  if (!IsInAProductsReach(path)) return false;
  ts::WText below;
  return !PathBelowSoftware(path, below) || !HoldsSystemKey(below, SystemKeys());
}

bool IsRemovableRegistryKey(const ts::WText& path) {
  ts::WText below;
  if (!IsInAProductsReach(path) || !PathBelowSoftware(path, below)) return false;
  std::vector<ts::WText> systemKeys = SystemKeys();
  if (HoldsSystemKey(below, systemKeys)) return false;
  if (IsListEntry(below)) return true;
  for (const ts::WText& system : systemKeys) {
    if (IsInside(below, system)) return false;
  }
  return true;
}

}  // namespace palisade
