#include "outputs/UploadWire.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(UploadRequest, HeadAndBodyAreByteExact) {
  const std::string boundary = UploadBoundary(0, 2147483646);
  EXPECT_EQ(boundary, "-------VantoruBoundary000000007FFFFFFE");
  EXPECT_EQ(UploadBoundary(0xABCDEF, 1).substr(22), "00ABCDEF00000001");
  EXPECT_EQ(UploadHeaders(L"upload.example", 80, "-------Xb"),
            L"Host: upload.example:80\r\nContent-Type: multipart/form-data; boundary=-------Xb\r\n");
  EXPECT_EQ(UploadHeaders(L"::1", 8443, "B").substr(0, 18), L"Host: [::1]:8443\r\n");

  // Binary content passes untouched, NUL, CR LF and boundary-like bytes included.
  const std::string png("\x89PNG\r\n\x1A\n\0\0--x\r\n", 16);
  const std::vector<uint8_t> body = UploadBody("-------Xb", std::vector<uint8_t>(png.begin(), png.end()));
  EXPECT_EQ(AsText(body),
            "---------Xb\r\n"
            "Content-Disposition: form-data; name=\"file\"; filename=\"vantoru.png\"\r\n"
            "Content-Type: image/png\r\n"
            "\r\n" +
                png +
                "\r\n"
                "---------Xb--\r\n");
}

struct TRecorder {
  std::vector<std::pair<int32_t, int32_t>> Calls;
  std::vector<size_t> Writes;
  std::string Received;
  size_t FailAt = SIZE_MAX;  // write number that comes up short
  size_t ShortBy = 0;
  TProgressProc Progress() {
    return [this](int32_t sent, int32_t total) { Calls.emplace_back(sent, total); };
  }
  TWriteProc Writer() {
    return [this](const uint8_t* data, size_t count) -> size_t {
      const size_t n = Writes.size() == FailAt ? count - std::min(count, ShortBy) : count;
      Writes.push_back(count);
      Received.append(reinterpret_cast<const char*>(data), n);
      return n;
    };
  }
};

class SendInPiecesSizes : public ::testing::TestWithParam<size_t> {};

TEST_P(SendInPiecesSizes, ProgressBeforeEveryPieceAndAnEmptyLastWrite) {
  const size_t size = GetParam();
  std::vector<uint8_t> body(size);
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<uint8_t>(i * 7 + i / 256);
  TRecorder r;
  EXPECT_TRUE(SendInPieces(body, r.Progress(), r.Writer()));
  EXPECT_EQ(r.Received, AsText(body));

  const auto total = static_cast<int32_t>(size);
  std::vector<std::pair<int32_t, int32_t>> calls;
  std::vector<size_t> writes;
  for (size_t at = 0; at < size; at += 1024) {
    calls.emplace_back(static_cast<int32_t>(at), total);
    writes.push_back(std::min<size_t>(1024, size - at));
  }
  calls.emplace_back(total, total);
  writes.push_back(0);
  EXPECT_EQ(r.Calls, calls);
  EXPECT_EQ(r.Writes, writes);
}

INSTANTIATE_TEST_SUITE_P(Bodies, SendInPiecesSizes, ::testing::Values(1, 1023, 1024, 1025, 2048, 5000));

TEST(SendInPieces, StopsAfterAShortOrFailedWrite) {
  std::vector<uint8_t> body(3000, 'x');
  TRecorder shortWrite;
  shortWrite.FailAt = 1;
  shortWrite.ShortBy = 24;
  EXPECT_FALSE(SendInPieces(body, shortWrite.Progress(), shortWrite.Writer()));
  EXPECT_EQ(shortWrite.Writes, (std::vector<size_t>{1024, 1024}));
  EXPECT_EQ(shortWrite.Calls.size(), 2u);

  TRecorder failed;
  failed.FailAt = 0;
  failed.ShortBy = 1024;  // writes nothing
  EXPECT_FALSE(SendInPieces(body, failed.Progress(), failed.Writer()));
  EXPECT_EQ(failed.Writes.size(), 1u);
  EXPECT_TRUE(failed.Received.empty());
}

struct TReplyCase {
  const wchar_t* Reply;
  const wchar_t* Link;
};

class UploadReplies : public ::testing::TestWithParam<TReplyCase> {};

TEST_P(UploadReplies, LinkOnlyFromASuccessWithAWebAddress) {
  EXPECT_EQ(UploadLink(GetParam().Reply), GetParam().Link);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UploadReplies,
    ::testing::Values(
        TReplyCase{LR"({"status":"success","url":"http:\/\/img.example\/a\/b.png"})", L"http://img.example/a/b.png"},
        TReplyCase{LR"({"url":"https://img.example/x?y=1&z=%20","status":"success","size":3})",
                   L"https://img.example/x?y=1&z=%20"},
        // the member name is found in any letter case; the status is not
        TReplyCase{LR"({"status":"success","URL":"http://img.example/u"})", L"http://img.example/u"},
        TReplyCase{LR"({"STATUS":"SUCCESS","url":"http://img.example/u"})", L""},
        TReplyCase{LR"({"status": "success","url":"http://img.example/u"})", L""},
        TReplyCase{LR"({"status":"error","message":"too big","url":"http://img.example/u"})", L""},
        TReplyCase{LR"({"status":"success"})", L""},
        TReplyCase{LR"({"status":"success","url":""})", L""},
        TReplyCase{LR"({"status":"success","url":"http://img.example/\u00"})", L""},  // bad escape
        TReplyCase{L"", L""},
        // only web addresses are handed to the shell
        TReplyCase{LR"({"status":"success","url":"file:///C:/Windows/System32/calc.exe"})", L""},
        TReplyCase{LR"({"status":"success","url":"C:\\Windows\\notepad.exe"})", L""},
        TReplyCase{LR"j({"status":"success","url":"javascript:alert(1)"})j", L""},
        TReplyCase{LR"({"status":"success","url":"ftp://img.example/a.png"})", L""},
        TReplyCase{LR"({"status":"success","url":"http:\/\/"})", L""},
        TReplyCase{LR"({"status":"success","url":"http:\/\/\/etc"})", L""},
        TReplyCase{LR"({"status":"success","url":"http://img.example/a \"--flag"})", L""},
        TReplyCase{LR"({"status":"success","url":"http://img.example/a\tb"})", L""},
        TReplyCase{LR"({"status":"success","url":"HTTPS://IMG.example/A"})", L"HTTPS://IMG.example/A"}));

struct TBarCase {
  bool HasTaskbar;
  TRect Taskbar;
  int Top;
};

class ProgressBarPlace : public ::testing::TestWithParam<TBarCase> {};

TEST_P(ProgressBarPlace, AboveABottomTaskbarElseAtTheBottom) {
  const auto& c = GetParam();
  EXPECT_EQ(ProgressBarTop(1280, 800, c.HasTaskbar ? &c.Taskbar : nullptr), c.Top);
}

INSTANTIATE_TEST_SUITE_P(
    Taskbars, ProgressBarPlace,
    ::testing::Values(TBarCase{false, {}, 770},
                      TBarCase{true, {0, 760, 1280, 800}, 730},     // bottom
                      TBarCase{true, {-2, 752, 1282, 802}, 720},    // bottom, reaching past the edges
                      TBarCase{true, {0, 0, 1280, 40}, 770},        // top
                      TBarCase{true, {0, 0, 60, 800}, 770},         // left side
                      TBarCase{true, {1220, 0, 1280, 800}, 770},    // right side
                      TBarCase{true, {0, 400, 1280, 440}, 770},     // top exactly at the middle
                      TBarCase{true, {0, 760, 1000, 800}, 770}));  // short of the right edge

}  // namespace
