// The upload itself, in-process under Wine against a loopback service on port 80.
#include "outputs/Upload.h"

#include <gtest/gtest.h>

#include <random>

#include "e2e/HttpServer.h"
#include "outputs/Encoders.h"
#include "ui/Bitmap.h"

namespace {

void Noise(TBitmap& picture, int width, int height, unsigned seed) {
  picture.SetSize(width, height);
  std::mt19937 gen(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 4; ++x) picture.Row(y)[x] = static_cast<uint8_t>(gen());
}

std::vector<std::pair<int32_t, int32_t>> ExpectedCalls(size_t total) {
  std::vector<std::pair<int32_t, int32_t>> calls;
  for (size_t at = 0; at < total; at += 1024) calls.emplace_back(static_cast<int32_t>(at), static_cast<int32_t>(total));
  calls.emplace_back(static_cast<int32_t>(total), static_cast<int32_t>(total));
  return calls;
}

TEST(UploadImage, ProgressBeforeEveryPieceUpToTheWholeBody) {
  e2e::THttpServer server(80);
  ASSERT_TRUE(server.Listening()) << "port 80 is taken";
  server.SetReply(200, R"({"status":"success","url":"https:\/\/127.0.0.1\/x.png"})");
  SetEnvironmentVariableW(L"VANTORU_UPLOAD_HOST", L"127.0.0.1");

  TBitmap picture;
  Noise(picture, 37, 23, 1);
  std::vector<std::pair<int32_t, int32_t>> calls;
  std::wstring link;
  UploadImage(picture, [&](int32_t sent, int32_t total) { calls.emplace_back(sent, total); }, link);
  EXPECT_EQ(link, L"https://127.0.0.1/x.png");
  ASSERT_TRUE(server.WaitForRequests(1));
  const size_t total = server.Requests()[0].Body.size();
  ASSERT_NE(total % 1024, 0u);
  EXPECT_EQ(calls, ExpectedCalls(total));

  // The part around the file has a fixed size: find a picture that makes the body an exact
  // multiple of 1,024 bytes.
  const size_t around = total - EncodePng(picture.View()).size();
  bool found = false;
  for (unsigned n = 1; n < 20000 && !found; ++n) {
    Noise(picture, 8 + static_cast<int>(n % 97), 8 + static_cast<int>(n / 97 % 60), n);
    found = (EncodePng(picture.View()).size() + around) % 1024 == 0;
  }
  ASSERT_TRUE(found);
  calls.clear();
  UploadImage(picture, [&](int32_t sent, int32_t total) { calls.emplace_back(sent, total); }, link);
  EXPECT_EQ(link, L"https://127.0.0.1/x.png");
  ASSERT_TRUE(server.WaitForRequests(2));
  const size_t exact = server.Requests()[1].Body.size();
  EXPECT_EQ(exact % 1024, 0u);
  EXPECT_EQ(calls, ExpectedCalls(exact));  // ends with (total, total) after the last full piece
}

}  // namespace
