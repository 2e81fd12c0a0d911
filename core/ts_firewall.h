#pragma once
// Exceptions of the Windows Firewall through its manager object: programs
// allowed through it and ports opened in it, in the current profile. Each
// operation returns one of the result codes below, which the logs print.
#include "core/ts_text.h"

struct INetFwProfile;

namespace ts {

namespace firewall_result {
inline constexpr int kSuccess = 0;
inline constexpr int kNoConnection = 1;
inline constexpr int kNoManager = 2;
inline constexpr int kNoLocalPolicy = 3;
inline constexpr int kNoCurrentProfile = 4;
inline constexpr int kEmptyTarget = 7;  // an empty program path or port 0
inline constexpr int kNoApplicationList = 8;
inline constexpr int kNoApplicationObject = 10;
inline constexpr int kImageFileNameNotSet = 11;
inline constexpr int kNameNotSet = 12;
inline constexpr int kNotAdded = 13;  // also: the program does not exist
inline constexpr int kNoPortList = 15;
inline constexpr int kNoPortObject = 18;
inline constexpr int kPortNotSet = 19;
inline constexpr int kProtocolNotSet = 20;
}  // namespace firewall_result

// The protocol numbers of an open port.
inline constexpr int kFirewallTcp = 6;
inline constexpr int kFirewallUdp = 17;

// The current profile of the local policy, released with the object.
class FirewallConnection {
 public:
  FirewallConnection() = default;
  ~FirewallConnection();
  FirewallConnection(const FirewallConnection&) = delete;
  FirewallConnection& operator=(const FirewallConnection&) = delete;

  INetFwProfile* profile = nullptr;
};

int FirewallConnect(FirewallConnection& connection);
// Whether the program is among the authorised applications already.
bool FirewallAllowsProgram(FirewallConnection& connection, const WText& path);
// A program that is already allowed counts as added.
int FirewallAddProgram(FirewallConnection& connection, const WText& path, const WText& name);
// A port that is already open for the protocol counts as opened.
int FirewallOpenPort(FirewallConnection& connection, int port, int protocol, const WText& name);
// The name of the port's exception for the protocol; false when the port
// is not open for it.
bool FirewallPortName(FirewallConnection& connection, int port, int protocol, WText& name);
// Removal reports the system's result: S_OK, or the failure of the step
// that failed.
long FirewallRemoveProgram(FirewallConnection& connection, const WText& path);
long FirewallClosePort(FirewallConnection& connection, int port, int protocol);

}  // namespace ts
