#pragma once
// A small HTTP server on the loopback interface, started by a test so that
// the engine under Wine has something to talk to. It keeps every request
// it receives, in order of arrival. Over TLS it shows a certificate made
// for the run, which the test makes the prefix trust.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct gnutls_certificate_credentials_st;

namespace palisade::testing {

struct ReceivedRequest {
  std::string line;  // "GET /path HTTP/1.1"
  std::string head;  // the header lines after the request line
  std::string body;
};

class LoopbackServer {
 public:
  // kAnswering answers every request with a short page; kSilent accepts
  // connections and reads from them, but never answers.
  enum class Mode { kAnswering, kSilent };
  enum class Transport { kPlain, kTls };

  explicit LoopbackServer(Mode mode = Mode::kAnswering, Transport transport = Transport::kPlain);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT", or "https://localhost:PORT" over TLS
  std::string Address() const;
  // The TLS certificate in DER form, for Windows' certificate store.
  std::string CertificateFile() const { return certificates_ + "/loopback.der"; }
  std::vector<ReceivedRequest> Requests();
  // The request targets ("/path?query"), in order of arrival.
  std::vector<std::string> Targets();

 private:
  void Serve();
  void Answer(int connection);

  Mode mode_;
  Transport transport_;
  std::string certificates_;  // the folder of the certificate and its key
  gnutls_certificate_credentials_st* credentials_ = nullptr;  // over TLS
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex lock_;
  std::vector<ReceivedRequest> requests_;
  std::vector<int> heldConnections_;
  std::thread thread_;
};

// A loopback port on which nothing listens: a connection is refused.
int RefusingPort();

}  // namespace palisade::testing
