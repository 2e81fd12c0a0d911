#include "core/ts_http.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdlib>

#include "core/ts_system.h"

namespace ts {
namespace {

constexpr char kBoundary[] = "AaB03x";
constexpr wchar_t kClient[] = L"Tessera 16.2";
constexpr int kTimeoutMs = 15000;
constexpr int kHighestPort = 65535;

// WinHTTP is not among the libraries every process maps, so it comes from
// the system folder at run time like the other optional ones.
struct WinHttp {
  decltype(&WinHttpOpen) open = nullptr;
  decltype(&WinHttpSetTimeouts) setTimeouts = nullptr;
  decltype(&WinHttpSetOption) setOption = nullptr;
  decltype(&WinHttpConnect) connect = nullptr;
  decltype(&WinHttpOpenRequest) openRequest = nullptr;
  decltype(&WinHttpSendRequest) sendRequest = nullptr;
  decltype(&WinHttpReceiveResponse) receiveResponse = nullptr;
  decltype(&WinHttpCloseHandle) closeHandle = nullptr;
};

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  function = FunctionOf<Function>(module, name);
}

bool LoadWinHttp(WinHttp& w) {
  HMODULE module = LoadSystemLibrary(L"winhttp.dll");
  if (!module) return false;
  Resolve(module, "WinHttpOpen", w.open);
  Resolve(module, "WinHttpSetTimeouts", w.setTimeouts);
  Resolve(module, "WinHttpSetOption", w.setOption);
  Resolve(module, "WinHttpConnect", w.connect);
  Resolve(module, "WinHttpOpenRequest", w.openRequest);
  Resolve(module, "WinHttpSendRequest", w.sendRequest);
  Resolve(module, "WinHttpReceiveResponse", w.receiveResponse);
  Resolve(module, "WinHttpCloseHandle", w.closeHandle);
  return w.open && w.setTimeouts && w.setOption && w.connect && w.openRequest && w.sendRequest &&
         w.receiveResponse && w.closeHandle;
}

// Closes the WinHTTP handles of one post, innermost first.
class HandleChain {
 public:
  explicit HandleChain(const WinHttp& w) : w_(w) {}
  ~HandleChain() {
    for (HINTERNET* handle : {&request, &connection, &session}) {
      if (*handle) w_.closeHandle(*handle);
    }
  }
  HandleChain(const HandleChain&) = delete;
  HandleChain& operator=(const HandleChain&) = delete;

  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

 private:
  const WinHttp& w_;
};

bool IsDecimal(const Text& text) { return !text.empty() && text.find_first_not_of("0123456789") == Text::npos; }

// The report goes to the address it names and nowhere else: a redirect
// could lead it to plain HTTP or to another server.
bool Send(const WinHttp& w, const HttpsAddress& address, const Text& body) {
  HandleChain handles(w);
  handles.session = w.open(kClient, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!handles.session) return false;
  w.setTimeouts(handles.session, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);
  handles.connection =
      w.connect(handles.session, WideFromUtf8(address.name).c_str(), static_cast<INTERNET_PORT>(address.port), 0);
  if (!handles.connection) return false;
  handles.request = w.openRequest(handles.connection, L"POST", WideFromUtf8(address.path).c_str(), nullptr,
                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  if (!handles.request) return false;
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  w.setOption(handles.request, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
  WText headers = WideFromUtf8(Text("Accept-Encoding: identity\r\nContent-Type: multipart/form-data; boundary=") +
                               kBoundary + "\r\n");
  DWORD length = static_cast<DWORD>(body.size());
  return w.sendRequest(handles.request, headers.c_str(), static_cast<DWORD>(headers.size()),
                       const_cast<char*>(body.data()), length, length, 0) &&
         w.receiveResponse(handles.request, nullptr);
}

}  // namespace

bool SplitHttpsAddress(const Text& address, HttpsAddress& parts) {
  constexpr char kScheme[] = "https://";
  if (address.compare(0, sizeof kScheme - 1, kScheme) != 0) return false;
  size_t hostStart = sizeof kScheme - 1;
  size_t pathStart = address.find('/', hostStart);
  Text host = address.substr(hostStart, pathStart - hostStart);
  parts.path = pathStart == Text::npos ? "/" : address.substr(pathStart);
  size_t colon = host.find(':');
  parts.name = host.substr(0, colon);
  if (parts.name.empty()) return false;
  if (colon == Text::npos) {
    parts.port = 443;
    return true;
  }
  Text port = host.substr(colon + 1);
  if (!IsDecimal(port) || port.size() > 5) return false;
  parts.port = std::atoi(port.c_str());
  return parts.port > 0 && parts.port <= kHighestPort;
}

Text MultipartFormBody(const std::vector<FormField>& fields) {
  Text body;
  for (const FormField& field : fields) {
    body += Text("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + field.name + "\"\r\n\r\n" +
            field.value + "\r\n";
  }
  return body + "--" + kBoundary + "--\r\n";
}

bool PostForm(const Text& address, const std::vector<FormField>& fields) {
  HttpsAddress parts;
  WinHttp w;
  return SplitHttpsAddress(address, parts) && LoadWinHttp(w) && Send(w, parts, MultipartFormBody(fields));
}

}  // namespace ts
