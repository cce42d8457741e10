#include "outputs/UploadWire.h"

#include <algorithm>
#include <cstdio>

#include "base/Errors.h"
#include "base/Strings.h"
#include "base/Text.h"

std::string UploadBoundary(uint32_t first, uint32_t second) {
  char digits[17];
  std::snprintf(digits, sizeof(digits), "%.8X%.8X", static_cast<unsigned>(first), static_cast<unsigned>(second));
  return std::string("-------VantoruBoundary") + digits;
}

std::wstring UploadHeaders(std::wstring_view host, uint16_t port, std::string_view boundary) {
  std::wstring head = L"Host: ";
  if (host.find(L':') != std::wstring_view::npos) head += L"[" + std::wstring(host) + L"]";
  else head += host;
  head += L":" + std::to_wstring(port) + L"\r\nContent-Type: multipart/form-data; boundary=";
  head.append(boundary.begin(), boundary.end());  // ASCII
  head += L"\r\n";
  return head;
}

std::vector<uint8_t> UploadBody(std::string_view boundary, const std::vector<uint8_t>& png) {
  std::string head = "--";
  head += boundary;
  head +=
      "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"vantoru.png\"\r\n"
      "Content-Type: image/png\r\n\r\n";
  std::string tail = "\r\n--";
  tail += boundary;
  tail += "--\r\n";
  std::vector<uint8_t> body;
  body.reserve(head.size() + png.size() + tail.size());
  body.insert(body.end(), head.begin(), head.end());
  body.insert(body.end(), png.begin(), png.end());
  body.insert(body.end(), tail.begin(), tail.end());
  return body;
}

bool SendInPieces(const std::vector<uint8_t>& body, const TProgressProc& progress, const TWriteProc& write) {
  const auto total = static_cast<int32_t>(body.size());
  size_t sent = 0;
  for (;;) {
    if (progress) progress(static_cast<int32_t>(sent), total);
    const size_t piece = std::min(kUploadPiece, body.size() - sent);
    const size_t written = write(body.data() + sent, piece);
    sent += std::min(written, piece);
    if (written < piece || written == 0) break;
  }
  return sent == body.size();
}

std::wstring UploadLink(std::wstring_view reply) {
  if (reply.find(L"\"status\":\"success\"") == std::wstring_view::npos) return std::wstring();
  std::wstring link;
  try {
    link = UnescapeJsonText(TextBetween(reply, L"url\":\"", L"\""));
  } catch (const EConvertError&) {
    return std::wstring();
  }
  return IsWebAddress(link) ? link : std::wstring();
}

int ProgressBarTop(int screenWidth, int screenHeight, const TRect* taskbar) {
  int top = screenHeight - kProgressHeight;
  if (taskbar && taskbar->Top > screenHeight / 2 && taskbar->Right >= screenWidth) top -= taskbar->Height();
  return top;
}
