// The upload's wire format and decision rules: the request head and multipart body, the
// piece-by-piece send with its progress calls, the link taken from the reply, and where
// the progress bar goes. No platform header here.
#pragma once
#include "base/WebAddress.h"
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Types.h"

// Bytes of the body sent so far, and the body's total size.
using TProgressProc = std::function<void(int32_t sent, int32_t total)>;
// Writes up to `count` bytes and returns how many were written (0 on failure).
using TWriteProc = std::function<size_t(const uint8_t* data, size_t count)>;

inline constexpr size_t kUploadPiece = 1024;

// "-------VantoruBoundary" and the two numbers (0 to 2,147,483,646) as 16 upper-case hex digits.
std::string UploadBoundary(uint32_t first, uint32_t second);
// The two header lines the program adds, each ended by CR LF; the Host line names the port
// (":80" for plain HTTP), an IPv6 host in brackets.
std::wstring UploadHeaders(std::wstring_view host, uint16_t port, std::string_view boundary);
// The one-part multipart/form-data body around the PNG file's bytes.
std::vector<uint8_t> UploadBody(std::string_view boundary, const std::vector<uint8_t>& png);

// Sends the body in pieces of at most kUploadPiece bytes, calling `progress` before each
// piece; the piece after the last byte is empty, so the last call is (total, total) and the
// last write is empty. Stops after a write shorter than its piece. Returns whether every
// byte was written.
bool SendInPieces(const std::vector<uint8_t>& body, const TProgressProc& progress, const TWriteProc& write);

// The link of the service's reply, or empty: the reply must contain "status":"success"
// exactly, its url member (name in any letter case) is unescaped, and only an http or https
// address counts, because the shell will open it.
std::wstring UploadLink(std::wstring_view reply);

// The progress bar's top edge: the bottom 30 pixels of the primary screen, or directly above
// a taskbar that lies in the screen's lower half and reaches its right edge.
inline constexpr int kProgressHeight = 30;
int ProgressBarTop(int screenWidth, int screenHeight, const TRect* taskbar);
