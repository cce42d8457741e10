// What the service's tests share: a fresh data folder, pictures encoded by the program's own
// PNG encoder and wrapped in its own multipart body, PNG chunks made by hand, and raw HTTP
// exchanges over a loopback socket.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "../../tests/fixtures/TestImage.h"
#include "outputs/Encoders.h"
#include "outputs/UploadWire.h"

namespace srvtest {

namespace fs = std::filesystem;

inline fs::path NewDataDir() {
  static std::atomic<int> counter{0};
  const fs::path dir = fs::temp_directory_path() /
                       ("vantoru-server-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A picture of `w` x `h` with a pattern, as the program encodes it.
inline std::string ProgramPng(int w = 37, int h = 21) {
  TTestImage image(w, h, 32);
  image.Fill([](int x, int y) { return static_cast<uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF); });
  return AsString(EncodePng(image.View()));
}

// The program's multipart body around `file`, with its boundary.
struct TProgramBody {
  std::string Boundary, Body;
};
inline TProgramBody ProgramBody(const std::string& file, uint32_t seed = 12345) {
  TProgramBody b;
  b.Boundary = UploadBoundary(seed, seed * 7 + 1);
  b.Body = AsString(UploadBody(b.Boundary, std::vector<uint8_t>(file.begin(), file.end())));
  return b;
}

inline void PutBe32(std::string& s, uint32_t v) {
  for (int shift : {24, 16, 8, 0}) s.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// One PNG chunk with its length and a correct CRC.
inline std::string Chunk(const std::string& type, const std::string& data) {
  std::string c;
  PutBe32(c, static_cast<uint32_t>(data.size()));
  const std::string typed = type + data;
  c += typed;
  PutBe32(c, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
  return c;
}

inline std::string Ihdr(uint32_t w, uint32_t h, uint8_t depth = 8, uint8_t colour = 2, uint8_t interlace = 0) {
  std::string d;
  PutBe32(d, w);
  PutBe32(d, h);
  d += std::string{static_cast<char>(depth), static_cast<char>(colour), 0, 0, static_cast<char>(interlace)};
  return Chunk("IHDR", d);
}

inline const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

// A raw exchange with a server on 127.0.0.1:`port`: sends `request` (then closes the sending
// side when `halfClose`), and reads until the server closes or one whole response (head and
// Content-Length body) has arrived, for at most `timeout`.
struct TRawResponse {
  bool Connected = false;
  int Status = 0;  // 0: no status line came back
  std::string Head, Body;
  std::string Header(const std::string& name) const {
    std::string lowerHead = Head, key = "\r\n" + name + ":";
    for (auto* s : {&lowerHead, &key})
      for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lowerHead.find(key);
    if (at == std::string::npos) return {};
    size_t start = at + key.size();
    while (start < Head.size() && Head[start] == ' ') ++start;
    return Head.substr(start, Head.find("\r\n", start) - start);
  }
};

inline TRawResponse RawExchange(int port, const std::string& request, bool halfClose = false,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  TRawResponse r;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return r;
  }
  r.Connected = true;
  for (size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  if (halfClose) shutdown(fd, SHUT_WR);
  std::string in;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buf[65536];
  for (;;) {
    const size_t end = in.find("\r\n\r\n");
    if (end != std::string::npos) {
      r.Head = in.substr(0, end + 2);
      const std::string length = r.Header("Content-Length");
      if (!length.empty() && in.size() >= end + 4 + std::stoul(length)) break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = recv(fd, buf, sizeof(buf), 0);
    if (n <= 0) break;
    in.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  const size_t end = in.find("\r\n\r\n");
  if (in.rfind("HTTP/1.", 0) == 0 && end != std::string::npos) {
    r.Status = std::stoi(in.substr(9, 3));
    r.Head = in.substr(0, end + 2);
    r.Body = in.substr(end + 4);
  }
  return r;
}

// The request head as the program's WinINet upload sends it.
inline std::string UploadHead(int port, const std::string& contentType, size_t length,
                              const std::string& extra = "") {
  return "POST /image HTTP/1.0\r\nContent-Type: " + contentType + "\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nUser-Agent: Vantoru Uploader\r\nContent-Length: " + std::to_string(length) +
         "\r\nConnection: Keep-Alive\r\n" + extra + "\r\n";
}

// Regular files under `dir` (recursively).
inline size_t FileCount(const fs::path& dir) {
  size_t n = 0;
  if (!fs::exists(dir)) return 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) n += e.is_regular_file();
  return n;
}

}  // namespace srvtest
