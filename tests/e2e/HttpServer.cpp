#include "e2e/HttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace e2e {

namespace {
bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}
}  // namespace

std::string THttpRequest::Header(const std::string& name) const {
  for (const auto& [n, v] : Headers)
    if (SameNoCase(n, name)) return v;
  return std::string();
}

THttpServer::THttpServer(uint16_t port) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  setsockopt(FSocket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof(on));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(FSocket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(FSocket, 16) != 0) {
    closesocket(FSocket);
    FSocket = INVALID_SOCKET;
    return;
  }
  int len = sizeof(addr);
  getsockname(FSocket, reinterpret_cast<sockaddr*>(&addr), &len);
  FPort = ntohs(addr.sin_port);
  FThread = std::thread([this] { Serve(); });
}

THttpServer::~THttpServer() {
  FStop = true;
  if (FSocket != INVALID_SOCKET) closesocket(FSocket);
  if (FThread.joinable()) FThread.join();
  WSACleanup();
}

void THttpServer::SetReply(int status, const std::string& body, const std::string& contentType) {
  std::lock_guard<std::mutex> g(FLock);
  FStatus = status;
  FBody = body;
  FType = contentType;
}

std::vector<THttpRequest> THttpServer::Requests() const {
  std::lock_guard<std::mutex> g(FLock);
  return FRequests;
}

bool THttpServer::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (Requests().size() >= count) return true;
    Sleep(20);
  }
  return Requests().size() >= count;
}

void THttpServer::Serve() {
  while (!FStop) {
    SOCKET client = accept(FSocket, nullptr, nullptr);
    if (client == INVALID_SOCKET) {
      if (FStop) return;
      Sleep(10);
      continue;
    }
    Handle(client);
    closesocket(client);
  }
}

void THttpServer::Handle(SOCKET client) {
  DWORD timeout = 10000;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  THttpRequest req;
  char buf[8192];
  size_t headEnd = std::string::npos;
  size_t want = 0;
  for (;;) {
    if (headEnd != std::string::npos && req.Raw.size() >= headEnd + 4 + want) break;
    const int n = recv(client, buf, sizeof(buf), 0);
    if (n <= 0) break;
    req.Raw.append(buf, static_cast<size_t>(n));
    if (headEnd == std::string::npos) {
      headEnd = req.Raw.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        size_t pos = req.Raw.find("\r\n");
        req.RequestLine = req.Raw.substr(0, pos);
        while (pos < headEnd) {
          const size_t next = req.Raw.find("\r\n", pos + 2);
          const std::string line = req.Raw.substr(pos + 2, next - pos - 2);
          const size_t colon = line.find(':');
          if (colon != std::string::npos) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            req.Headers.emplace_back(line.substr(0, colon), value);
          }
          pos = next;
        }
        const std::string length = req.Header("Content-Length");
        want = length.empty() ? 0 : static_cast<size_t>(std::stoul(length));
      }
    }
  }
  if (headEnd != std::string::npos) req.Body = req.Raw.substr(headEnd + 4);
  int status;
  std::string body, type;
  {
    std::lock_guard<std::mutex> g(FLock);
    FRequests.push_back(req);
    status = FStatus;
    body = FBody;
    type = FType;
  }
  const std::string reply = "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
                            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                            body;
  send(client, reply.data(), static_cast<int>(reply.size()), 0);
  shutdown(client, SD_SEND);
}

}  // namespace e2e
