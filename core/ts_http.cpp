#include "core/ts_http.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "core/ts_format.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr char kBoundary[] = "AaB03x";
constexpr char kClientVersion[] = "16.2";
constexpr DWORD kSocketTimeoutMs = 15000;

// The socket library is not among the libraries every process maps, so it
// comes from the system folder at run time like the other optional ones.
struct Sockets {
  decltype(&WSAStartup) startup = nullptr;
  decltype(&getaddrinfo) resolve = nullptr;
  decltype(&freeaddrinfo) freeResolved = nullptr;
  decltype(&socket) open = nullptr;
  decltype(&setsockopt) setOption = nullptr;
  decltype(&connect) connectTo = nullptr;
  decltype(&send) sendBytes = nullptr;
  decltype(&recv) receive = nullptr;
  decltype(&closesocket) close = nullptr;
};

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  function = FunctionOf<Function>(module, name);
}

bool LoadSockets(Sockets& s) {
  HMODULE module = LoadSystemLibrary(L"ws2_32.dll");
  if (!module) return false;
  Resolve(module, "WSAStartup", s.startup);
  Resolve(module, "getaddrinfo", s.resolve);
  Resolve(module, "freeaddrinfo", s.freeResolved);
  Resolve(module, "socket", s.open);
  Resolve(module, "setsockopt", s.setOption);
  Resolve(module, "connect", s.connectTo);
  Resolve(module, "send", s.sendBytes);
  Resolve(module, "recv", s.receive);
  Resolve(module, "closesocket", s.close);
  WSADATA data;
  return s.startup && s.resolve && s.freeResolved && s.open && s.setOption && s.connectTo && s.sendBytes &&
         s.receive && s.close && s.startup(MAKEWORD(2, 2), &data) == 0;
}

SOCKET Connect(const Sockets& s, const HttpAddress& address) {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (s.resolve(address.name.c_str(), address.port.c_str(), &hints, &found) != 0) return INVALID_SOCKET;
  SOCKET connection = INVALID_SOCKET;
  for (addrinfo* a = found; a && connection == INVALID_SOCKET; a = a->ai_next) {
    connection = s.open(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (connection == INVALID_SOCKET) continue;
    DWORD timeout = kSocketTimeoutMs;
    for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
      s.setOption(connection, SOL_SOCKET, option, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    }
    if (s.connectTo(connection, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      s.close(connection);
      connection = INVALID_SOCKET;
    }
  }
  s.freeResolved(found);
  return connection;
}

bool SendAll(const Sockets& s, SOCKET connection, const Text& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    int n = s.sendBytes(connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool SplitHttpAddress(const Text& address, HttpAddress& parts) {
  constexpr char kScheme[] = "http://";
  if (address.compare(0, sizeof kScheme - 1, kScheme) != 0) return false;
  size_t hostStart = sizeof kScheme - 1;
  size_t pathStart = address.find('/', hostStart);
  parts.host = address.substr(hostStart, pathStart - hostStart);
  if (parts.host.empty()) return false;
  parts.path = pathStart == Text::npos ? "/" : address.substr(pathStart);
  size_t colon = parts.host.find(':');
  parts.name = parts.host.substr(0, colon);
  parts.port = colon == Text::npos ? "80" : parts.host.substr(colon + 1);
  return !parts.name.empty() && !parts.port.empty();
}

Text MultipartFormBody(const std::vector<FormField>& fields) {
  Text body;
  for (const FormField& field : fields) {
    body += Text("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + field.name + "\"\r\n\r\n" +
            field.value + "\r\n";
  }
  return body + "--" + kBoundary + "--\r\n";
}

Text FormPostRequest(const HttpAddress& address, const Text& body) {
  return "POST " + address.path + " HTTP/1.1\r\nHost: " + address.host + "\r\nUser-Agent: Tessera " + kClientVersion +
         "\r\nAccept-Encoding: identity\r\nContent-Type: multipart/form-data; boundary=" + kBoundary + "\r\n" +
         Format("Content-Length: %d\r\n\r\n", static_cast<int>(body.size())) + body;
}

bool PostForm(const Text& address, const std::vector<FormField>& fields) {
  HttpAddress parts;
  Sockets s;
  if (!SplitHttpAddress(address, parts) || !LoadSockets(s)) return false;
  SOCKET connection = Connect(s, parts);
  if (connection == INVALID_SOCKET) return false;
  bool sent = SendAll(s, connection, FormPostRequest(parts, MultipartFormBody(fields)));
  // The first part of the answer is awaited so that the server has the
  // whole request before the connection closes; the rest is not wanted.
  char answer[1024];
  if (sent) s.receive(connection, answer, sizeof answer, 0);
  s.close(connection);
  return sent;
}

}  // namespace ts
