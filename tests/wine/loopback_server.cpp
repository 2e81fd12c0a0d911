#include "loopback_server.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace palisade::testing {
namespace {

// Binds a loopback socket to a port of the system's choice.
int BoundSocket(int& port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return s;
}

// One accepted connection, plain or through a TLS session.
class Channel {
 public:
  Channel(int connection, gnutls_certificate_credentials_t credentials) : connection_(connection) {
    if (!credentials) return;
    gnutls_init(&tls_, GNUTLS_SERVER);
    gnutls_set_default_priority(tls_);
    gnutls_credentials_set(tls_, GNUTLS_CRD_CERTIFICATE, credentials);
    gnutls_transport_set_int(tls_, connection);
    gnutls_handshake_set_timeout(tls_, GNUTLS_DEFAULT_HANDSHAKE_TIMEOUT);
    int result;
    do {
      result = gnutls_handshake(tls_);
    } while (result < 0 && gnutls_error_is_fatal(result) == 0);
    open_ = result == 0;
  }
  ~Channel() {
    if (!tls_) return;
    if (open_) gnutls_bye(tls_, GNUTLS_SHUT_WR);
    gnutls_deinit(tls_);
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  bool open() const { return open_; }

  bool ReadMore(std::string& data) {
    bool buffered = tls_ && gnutls_record_check_pending(tls_) > 0;
    pollfd ready{connection_, POLLIN, 0};
    if (!buffered && poll(&ready, 1, 10000) <= 0) return false;
    char buffer[4096];
    ssize_t got = tls_ ? gnutls_record_recv(tls_, buffer, sizeof buffer) : read(connection_, buffer, sizeof buffer);
    if (got <= 0) return false;
    data.append(buffer, static_cast<size_t>(got));
    return true;
  }

  void Write(std::string_view bytes) {
    ssize_t ignored = tls_ ? gnutls_record_send(tls_, bytes.data(), bytes.size())
                           : write(connection_, bytes.data(), bytes.size());
    (void)ignored;
  }

 private:
  int connection_;
  gnutls_session_t tls_ = nullptr;
  bool open_ = true;
};

// The request head, and as much of the body as Content-Length announces.
bool ReadRequest(Channel& channel, ReceivedRequest& request) {
  std::string data;
  size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (!channel.ReadMore(data)) return false;
  }
  size_t lineEnd = data.find("\r\n");
  request.line = data.substr(0, lineEnd);
  request.head = data.substr(lineEnd + 2, headEnd - lineEnd);
  size_t bodyLength = 0;
  for (const char* name : {"\r\nContent-Length: ", "\r\ncontent-length: "}) {
    size_t at = ("\r\n" + request.head).find(name);
    if (at != std::string::npos) bodyLength = std::strtoul(request.head.c_str() + at + std::strlen(name) - 2, nullptr, 10);
  }
  while (data.size() < headEnd + 4 + bodyLength) {
    if (!channel.ReadMore(data)) break;
  }
  request.body = data.substr(headEnd + 4);
  return true;
}

// A certificate and key made for this server alone.
std::string MadeCertificates(gnutls_certificate_credentials_t& credentials) {
  std::string folder = (std::filesystem::temp_directory_path() / "palisade-tls-XXXXXX").string();
  if (!mkdtemp(folder.data())) return {};
  std::string command = std::string(PALISADE_SOURCE_DIR) + "/tests/make-loopback-certificate '" + folder + "'";
  if (std::system(command.c_str()) != 0) return folder;
  gnutls_certificate_allocate_credentials(&credentials);
  gnutls_certificate_set_x509_key_file(credentials, (folder + "/loopback.pem").c_str(),
                                       (folder + "/loopback.key").c_str(), GNUTLS_X509_FMT_PEM);
  return folder;
}

}  // namespace

LoopbackServer::LoopbackServer(Mode mode, Transport transport) : mode_(mode), transport_(transport) {
  if (transport_ == Transport::kTls) certificates_ = MadeCertificates(credentials_);
  listener_ = BoundSocket(port_);
  listen(listener_, 16);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
  for (int connection : heldConnections_) close(connection);
  if (credentials_) gnutls_certificate_free_credentials(credentials_);
  if (!certificates_.empty()) std::filesystem::remove_all(certificates_);
}

// Wine checks a certificate's names, not its addresses, so the TLS server
// goes by the name its certificate gives.
std::string LoopbackServer::Address() const {
  if (transport_ == Transport::kTls) return "https://localhost:" + std::to_string(port_);
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedRequest> LoopbackServer::Requests() {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

std::vector<std::string> LoopbackServer::Targets() {
  std::vector<std::string> targets;
  for (const ReceivedRequest& request : Requests()) {
    size_t from = request.line.find(' ') + 1;
    targets.push_back(request.line.substr(from, request.line.rfind(' ') - from));
  }
  return targets;
}

void LoopbackServer::Serve() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    if (mode_ == Mode::kSilent) {
      heldConnections_.push_back(connection);
      continue;
    }
    Answer(connection);
  }
}

void LoopbackServer::Answer(int connection) {
  {
    Channel channel(connection, credentials_);
    ReceivedRequest request;
    if (channel.open() && ReadRequest(channel, request)) {
      {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
      }
      channel.Write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    }
  }
  close(connection);
}

int RefusingPort() {
  int port = 0;
  int s = BoundSocket(port);
  close(s);
  return port;
}

}  // namespace palisade::testing
