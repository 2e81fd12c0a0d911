#include "actions/components.h"

#include <objbase.h>

#include "actions/com_servers.h"
#include "actions/drivers.h"
#include "actions/install_log.h"
#include "actions/type_libraries.h"
#include "core/ts_crash.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/progress.h"

namespace palisade {
namespace {

constexpr int kRegistrationStatus = 77;

}  // namespace

void ShowRegistrationStatus(const ts::WText& what) {
  ts::WText status = MessageWithTags(kRegistrationStatus);
  ts::ReplaceIgnoringCase(status, L"<file>", what);
  SetStatusText(status);
}

namespace {

struct ComponentStep {
  void (*call)(void* context);
  void* context;
};

void RunWithCom(void* context) {
  const auto* step = static_cast<const ComponentStep*>(context);
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  step->call(step->context);
  if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace

bool SurvivesComponentCode(void (*call)(void* context), void* context, const wchar_t* crashText,
                           const ts::WText& path) {
  ComponentStep step{call, context};
  if (ts::CallGuarded(RunWithCom, &step)) return true;
  LogText("CRASHED!\r\n");
  AddToFailureSummary(crashText + path + L"\r\n");
  return false;
}

void RegisterComponents() {
  const FileFollowUps& lists = g_installer.followUps;
  RegisterComServers(lists.comServers);
  RegisterTypeLibraries(lists.typeLibraries);
  if (!lists.driverPackages.Empty()) InstallDriverPackages(lists.driverPackages);
}

}  // namespace palisade
