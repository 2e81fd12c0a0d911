#include "actions/com_servers.h"

#include <windows.h>

#include "actions/components.h"
#include "actions/install_log.h"
#include "core/ts_components.h"

namespace palisade {
namespace {

// The code logged when regsvr32 could not even be started.
constexpr DWORD kNotStarted = 0x80000000;

void RegisterComServer(const ts::WText& path) {
  LogWideFormat(L"Registering COM File \"%s\"...", path.c_str());
  ShowRegistrationStatus(path);
  DWORD exitCode = kNotStarted;
  if (!ts::RunRegsvr32(L"/s \"" + path + L"\"", exitCode)) exitCode = kNotStarted;
  // DllRegisterServer's own result is not examined: a server that has the
  // export is taken as registered.
  bool exported = false;
  auto callExport = [&] { exported = ts::CallServerExport(path, "DllRegisterServer"); };
  if (exitCode != 0 && !SurvivesComponentCode(callExport, L"Crashed while registering COM file ", path)) return;
  if (exitCode == 0 || exported) {
    LogText("OK\r\n");
  } else {
    LogFormat("FAILED, code %d\r\n", static_cast<int>(exitCode));
  }
}

}  // namespace

void RegisterComServers(const ts::Vector<ts::WText>& servers) {
  for (const ts::WText& path : servers) RegisterComServer(path);
}

}  // namespace palisade
