#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

bool ReadMore(int connection, std::string& data) {
  pollfd ready{connection, POLLIN, 0};
  if (poll(&ready, 1, 10000) <= 0) return false;
  char buffer[4096];
  ssize_t got = read(connection, buffer, sizeof buffer);
  if (got <= 0) return false;
  data.append(buffer, static_cast<size_t>(got));
  return true;
}

// The request head, and as much of the body as Content-Length announces.
bool ReadRequest(int connection, ReceivedRequest& request) {
  std::string data;
  size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (!ReadMore(connection, data)) return false;
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
    if (!ReadMore(connection, data)) break;
  }
  request.body = data.substr(headEnd + 4);
  return true;
}

}  // namespace

LoopbackServer::LoopbackServer(Mode mode) : mode_(mode) {
  listener_ = BoundSocket(port_);
  listen(listener_, 16);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
  for (int connection : heldConnections_) close(connection);
}

std::string LoopbackServer::Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

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
  ReceivedRequest request;
  if (ReadRequest(connection, request)) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      requests_.push_back(request);
    }
    static const char kPage[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    ssize_t ignored = write(connection, kPage, sizeof kPage - 1);
    (void)ignored;
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
