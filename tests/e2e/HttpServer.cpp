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

SOCKET ListenLoopback(uint16_t port, uint16_t* bound, int backlog) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof(on));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(s, backlog) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  int len = sizeof(addr);
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  if (bound) *bound = ntohs(addr.sin_port);
  return s;
}

THttpServer::THttpServer(uint16_t port) {
  FSocket = ListenLoopback(port, &FPort);
  if (FSocket != INVALID_SOCKET) FThread = std::thread([this] { Serve(); });
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

namespace e2e {

namespace {
std::string EnvText(const char* name) {
  char buf[4096];
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
  return n > 0 && n < sizeof(buf) ? std::string(buf, n) : std::string();
}
// A Linux path as Wine shows it.
std::wstring WindowsPath(const std::string& unix) {
  std::wstring path = L"Z:";
  for (char c : unix) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return path;
}

}  // namespace

std::string TestServerAddress() { return EnvText("VANTORU_TEST_SERVER"); }

std::wstring TestServerData() {
  const std::string unix = EnvText("VANTORU_TEST_SERVER_DATA");
  return unix.empty() ? std::wstring() : WindowsPath(unix) + L"\\";
}

std::string TestServerTlsAddress() { return EnvText("VANTORU_TEST_SERVER_TLS"); }


std::string THttpReply::Header(const std::string& name) const {
  size_t line = Head.find("\r\n");
  while (line != std::string::npos && line + 2 < Head.size()) {
    const size_t end = Head.find("\r\n", line + 2);
    const std::string text = Head.substr(line + 2, end - line - 2);
    const size_t colon = text.find(':');
    if (colon != std::string::npos && SameNoCase(text.substr(0, colon), name)) {
      const size_t value = text.find_first_not_of(' ', colon + 1);
      return value == std::string::npos ? std::string() : text.substr(value);
    }
    line = end;
  }
  return std::string();
}

THttpReply HttpGet(const std::string& url) {
  THttpReply reply;
  const std::string scheme = "http://";
  if (url.rfind(scheme, 0) != 0) return reply;
  const size_t slash = url.find('/', scheme.size());
  const std::string authority = url.substr(scheme.size(), slash - scheme.size());
  const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
  const size_t colon = authority.find(':');
  const std::string host = authority.substr(0, colon);
  const std::string port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  addrinfo hints{}, *found = nullptr;
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0) {
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0) {
      const std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + authority + "\r\nConnection: close\r\n\r\n";
      send(s, request.data(), static_cast<int>(request.size()), 0);
      std::string raw;
      char buf[65536];
      for (int n; (n = recv(s, buf, sizeof(buf), 0)) > 0;) raw.append(buf, static_cast<size_t>(n));
      const size_t end = raw.find("\r\n\r\n");
      if (raw.rfind("HTTP/1.", 0) == 0 && end != std::string::npos) {
        reply.Status = std::atoi(raw.substr(9, 3).c_str());
        reply.Head = raw.substr(0, end + 2);
        reply.Body = raw.substr(end + 4);
      }
    }
    closesocket(s);
    freeaddrinfo(found);
  }
  WSACleanup();
  return reply;
}

}  // namespace e2e
