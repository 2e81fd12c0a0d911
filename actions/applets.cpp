#include "actions/applets.h"

#include <windows.h>

#include "actions/components.h"
#include "actions/install_log.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/errors.h"
#include "payload/payload_reader.h"
#include "record/uninstall_record.h"

namespace palisade {
namespace {

constexpr wchar_t kClassesKey[] = L"\\HKLM\\Software\\Classes\\CLSID\\";
constexpr wchar_t kNameSpaceKey[] = L"\\HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\";
constexpr REGSAM kAppletKeyAccess = KEY_READ | KEY_WRITE | KEY_WOW64_64KEY;
constexpr size_t kClassIdLength = 38;

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

LONG CreateWithDefault(const ts::WText& path, const ts::WText& value, bool* created = nullptr) {
  ts::WText subkey;
  HKEY root = ts::RegistryPathRoot(path, subkey);
  ts::RegistryKey key;
  LONG result = key.Create(root, subkey, kAppletKeyAccess, created);
  return result == ERROR_SUCCESS ? key.SetText(L"", value) : result;
}

// The uninstaller deletes a recorded key with all that is in it: a key
// that was there before the installation (another program's class) is
// never recorded.
void RecordIfCreated(const ts::WText& path, bool created) {
  if (created) RecordForRemoval(path, RemovalKind::kRegistryKey64);
}

// The first failure, or ERROR_SUCCESS when every key was made.
LONG CreateAppletKeys(const Applet& applet, const ts::WText& name) {
  ts::WText classKey = kClassesKey + applet.classId;
  ts::WText nameSpaceKey = kNameSpaceKey + applet.classId;
  bool created = false;
  LONG result = CreateWithDefault(classKey, name, &created);
  if (result != ERROR_SUCCESS) return result;
  RecordIfCreated(classKey, created);
  for (LONG step : {CreateWithDefault(classKey + L"\\DefaultIcon", applet.path),
                    CreateWithDefault(classKey + L"\\Shell\\Open\\Command", AppletCommand(applet))}) {
    if (step != ERROR_SUCCESS) return step;
  }
  result = CreateWithDefault(nameSpaceKey, name, &created);
  if (result == ERROR_SUCCESS) RecordIfCreated(nameSpaceKey, created);
  return result;
}

}  // namespace

ts::WText AppletName(const Applet& applet) {
  if (!applet.name.empty()) return applet.name;
  ts::WText file = applet.path.substr(applet.path.find_last_of(L'\\') + 1);
  return file.substr(0, file.rfind(L'.'));
}

bool IsClassIdentifier(const ts::WText& text) {
  if (text.size() != kClassIdLength || text.front() != L'{' || text.back() != L'}') return false;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    bool hyphenPlace = i == 9 || i == 14 || i == 19 || i == 24;
    if (hyphenPlace ? text[i] != L'-' : !IsHexDigit(text[i])) return false;
  }
  return true;
}

ts::WText AppletCommand(const Applet& applet) {
  ts::WText command = L"\"" + applet.path + L"\"";
  if (!applet.arguments.empty()) command += L" " + applet.arguments;
  return command;
}

void RegisterApplet(const Applet& applet) {
  ts::WText name = AppletName(applet);
  if (name.empty()) CorruptInstaller(format::Error::kAppletWithoutName);
  if (!IsClassIdentifier(applet.classId)) CorruptInstaller(format::Error::kAppletWithoutClassId);
  ShowRegistrationStatus(L"Control Panel extension \"" + name + L"\"");
  LogWideConcat({L"Registering control panel applet \"", name, L"\"..."});
  LONG result = CreateAppletKeys(applet, name);
  if (result == ERROR_SUCCESS) {
    LogText("OK\r\n");
  } else {
    LogWideConcat({L"FAILED!\r\n", ts::SystemErrorTextW(result), L"\r\n"});
  }
}

}  // namespace palisade
