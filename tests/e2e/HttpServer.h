// A loopback HTTP server inside the test program (a native Linux server cannot be started
// from a Windows program under Wine). It records every request exactly as received and
// answers each with the reply the test set.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

struct THttpRequest {
  std::string Raw;           // head and body, byte for byte
  std::string RequestLine;   // "POST /image HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> Headers;  // in the order received
  std::string Body;
  std::string Header(const std::string& name) const;  // first one, name compared ignoring case
};

class THttpServer {
 public:
  // Listens on 127.0.0.1:`port` (0: any free port).
  explicit THttpServer(uint16_t port = 0);
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  bool Listening() const { return FSocket != INVALID_SOCKET; }
  uint16_t Port() const { return FPort; }
  // Every later request gets this status and body (Content-Length is added).
  void SetReply(int status, const std::string& body, const std::string& contentType = "text/html");
  std::vector<THttpRequest> Requests() const;
  bool WaitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  void Serve();
  void Handle(SOCKET client);
  SOCKET FSocket = INVALID_SOCKET;
  uint16_t FPort = 0;
  std::atomic<bool> FStop{false};
  std::thread FThread;
  mutable std::mutex FLock;
  std::vector<THttpRequest> FRequests;
  int FStatus = 200;
  std::string FBody = "ok", FType = "text/html";
};

}  // namespace e2e

namespace e2e {

// A listening TCP socket on 127.0.0.1:`port` (0: any free port, whose number `bound` gets).
// Starts Winsock, which the caller ends with WSACleanup; INVALID_SOCKET when the port is taken.
SOCKET ListenLoopback(uint16_t port, uint16_t* bound = nullptr, int backlog = 16);

// The vantoru-server that scripts/test.sh started on loopback (VANTORU_TEST_SERVER, e.g.
// "http://127.0.0.1:41234"), or empty when none runs.
std::string TestServerAddress();
// Its data folder as a Windows path with a trailing backslash (VANTORU_TEST_SERVER_DATA).
std::wstring TestServerData();
// Its TLS front with a self-signed certificate ("https://localhost:PORT",
// VANTORU_TEST_SERVER_TLS), or empty.
std::string TestServerTlsAddress();

struct THttpReply {
  int Status = 0;  // 0: no reply
  std::string Head, Body;
  std::string Header(const std::string& name) const;  // name compared ignoring case
};
// One GET of an "http://host:port/path" address over a socket of its own (Connection: close).
THttpReply HttpGet(const std::string& url);

}  // namespace e2e
