#include "core/ts_firewall.h"

#include <windows.h>
#include <netfw.h>
#include <oleauto.h>

#include "core/ts_com.h"

namespace ts {
namespace {

namespace result = firewall_result;

constexpr CLSID kFirewallManager = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
constexpr IID kFirewallManagerInterface = {0xF7898AF5, 0xCAC4, 0x4632,
                                           {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
constexpr CLSID kAuthorizedApplication = {0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
constexpr IID kAuthorizedApplicationInterface = {0xB5E64FFA, 0xC2C5, 0x444E,
                                                 {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};
constexpr CLSID kOpenPort = {0x0CA545C6, 0x37AD, 0x4A6C, {0xBF, 0x92, 0x9F, 0x76, 0x10, 0x06, 0x7E, 0xF5}};
constexpr IID kOpenPortInterface = {0xE0483BA0, 0x47FF, 0x4D9C, {0xA6, 0xD6, 0x77, 0x41, 0xD0, 0xB1, 0x95, 0xF7}};

struct Bstr {
  explicit Bstr(const WText& text) : p(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(p); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR p;
};

NET_FW_IP_PROTOCOL Protocol(int protocol) { return static_cast<NET_FW_IP_PROTOCOL>(protocol); }

int AddNewProgram(INetFwAuthorizedApplications* list, const Bstr& path, const Bstr& name) {
  ComHeld<INetFwAuthorizedApplication> application;
  if (FAILED(CoCreateInstance(kAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER, kAuthorizedApplicationInterface,
                              reinterpret_cast<void**>(&application.p)))) {
    return result::kNoApplicationObject;
  }
  if (FAILED(application.p->put_ProcessImageFileName(path.p))) return result::kImageFileNameNotSet;
  if (FAILED(application.p->put_Name(name.p))) return result::kNameNotSet;
  if (FAILED(list->Add(application.p))) return result::kNotAdded;
  return result::kSuccess;
}

int AddNewPort(INetFwOpenPorts* list, int port, int protocol, const Bstr& name) {
  ComHeld<INetFwOpenPort> open;
  if (FAILED(CoCreateInstance(kOpenPort, nullptr, CLSCTX_INPROC_SERVER, kOpenPortInterface,
                              reinterpret_cast<void**>(&open.p)))) {
    return result::kNoPortObject;
  }
  if (FAILED(open.p->put_Port(port))) return result::kPortNotSet;
  if (FAILED(open.p->put_Protocol(Protocol(protocol)))) return result::kProtocolNotSet;
  if (FAILED(open.p->put_Name(name.p))) return result::kNameNotSet;
  if (FAILED(list->Add(open.p))) return result::kNotAdded;
  return result::kSuccess;
}

}  // namespace

FirewallConnection::~FirewallConnection() {
  if (profile) profile->Release();
}

int FirewallConnect(FirewallConnection& connection) {
  ComHeld<INetFwMgr> manager;
  if (FAILED(CoCreateInstance(kFirewallManager, nullptr, CLSCTX_INPROC_SERVER, kFirewallManagerInterface,
                              reinterpret_cast<void**>(&manager.p)))) {
    return result::kNoManager;
  }
  ComHeld<INetFwPolicy> policy;
  if (FAILED(manager.p->get_LocalPolicy(&policy.p)) || !policy.p) return result::kNoLocalPolicy;
  if (FAILED(policy.p->get_CurrentProfile(&connection.profile)) || !connection.profile) {
    return result::kNoCurrentProfile;
  }
  return result::kSuccess;
}

bool FirewallAllowsProgram(FirewallConnection& connection, const WText& path) {
  ComHeld<INetFwAuthorizedApplications> list;
  if (!connection.profile || FAILED(connection.profile->get_AuthorizedApplications(&list.p)) || !list.p) return false;
  ComHeld<INetFwAuthorizedApplication> existing;
  return SUCCEEDED(list.p->Item(Bstr(path).p, &existing.p)) && existing.p;
}

int FirewallAddProgram(FirewallConnection& connection, const WText& path, const WText& name) {
  if (!connection.profile) return result::kNoConnection;
  if (path.empty()) return result::kEmptyTarget;
  ComHeld<INetFwAuthorizedApplications> list;
  if (FAILED(connection.profile->get_AuthorizedApplications(&list.p)) || !list.p) return result::kNoApplicationList;
  if (FirewallAllowsProgram(connection, path)) return result::kSuccess;
  return AddNewProgram(list.p, Bstr(path), Bstr(name));
}

int FirewallOpenPort(FirewallConnection& connection, int port, int protocol, const WText& name) {
  if (!connection.profile) return result::kNoConnection;
  if (port == 0) return result::kEmptyTarget;
  ComHeld<INetFwOpenPorts> list;
  if (FAILED(connection.profile->get_GloballyOpenPorts(&list.p)) || !list.p) return result::kNoPortList;
  ComHeld<INetFwOpenPort> existing;
  if (SUCCEEDED(list.p->Item(port, Protocol(protocol), &existing.p)) && existing.p) return result::kSuccess;
  return AddNewPort(list.p, port, protocol, Bstr(name));
}

bool FirewallPortName(FirewallConnection& connection, int port, int protocol, WText& name) {
  ComHeld<INetFwOpenPorts> list;
  if (!connection.profile || FAILED(connection.profile->get_GloballyOpenPorts(&list.p)) || !list.p) return false;
  ComHeld<INetFwOpenPort> existing;
  BSTR stored = nullptr;
  if (FAILED(list.p->Item(port, Protocol(protocol), &existing.p)) || !existing.p ||
      FAILED(existing.p->get_Name(&stored))) {
    return false;
  }
  name = stored ? WText(stored, SysStringLen(stored)) : WText();
  SysFreeString(stored);
  return true;
}

long FirewallRemoveProgram(FirewallConnection& connection, const WText& path) {
  if (!connection.profile) return E_POINTER;
  ComHeld<INetFwAuthorizedApplications> list;
  HRESULT hr = connection.profile->get_AuthorizedApplications(&list.p);
  if (FAILED(hr)) return hr;
  return list.p->Remove(Bstr(path).p);
}

long FirewallClosePort(FirewallConnection& connection, int port, int protocol) {
  if (!connection.profile) return E_POINTER;
  ComHeld<INetFwOpenPorts> list;
  HRESULT hr = connection.profile->get_GloballyOpenPorts(&list.p);
  if (FAILED(hr)) return hr;
  return list.p->Remove(port, Protocol(protocol));
}

}  // namespace ts
