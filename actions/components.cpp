#include "actions/components.h"

#include "actions/com_servers.h"
#include "actions/drivers.h"
#include "actions/type_libraries.h"
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

void RegisterComponents() {
  const FileFollowUps& lists = g_installer.followUps;
  RegisterComServers(lists.comServers);
  RegisterTypeLibraries(lists.typeLibraries);
  if (!lists.driverPackages.Empty()) InstallDriverPackages(lists.driverPackages);
}

}  // namespace palisade
