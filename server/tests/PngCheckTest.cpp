#include "PngCheck.h"

#include <gtest/gtest.h>

#include "ServerTestSupport.h"

using namespace srvtest;

namespace {

std::string Idat() { return Chunk("IDAT", std::string("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9)); }
std::string Iend() { return Chunk("IEND", ""); }

TEST(PngCheck, TakesTheProgramsPngWithItsSize) {
  const std::string png = ProgramPng(37, 21);
  TPngInfo info;
  ASSERT_EQ(CheckPng(png, TPngLimits{}, &info), TPngVerdict::Ok);
  EXPECT_EQ(info.Width, 37u);
  EXPECT_EQ(info.Height, 21u);
  // Other well-formed kinds: palette, grey with ancillary chunks between the image data's end and IEND.
  EXPECT_EQ(CheckPng(kSignature + Ihdr(1, 1, 8, 3) + Chunk("PLTE", "abc") + Idat() + Iend(), {}), TPngVerdict::Ok);
  EXPECT_EQ(CheckPng(kSignature + Ihdr(1, 1, 16, 0, 1) + Chunk("gAMA", "abcd") + Idat() + Idat() +
                         Chunk("tEXt", "k\0v") + Iend(),
                     {}),
            TPngVerdict::Ok);
}

TEST(PngCheck, EveryCutAndAnyTrailingByteIsRefused) {
  const std::string png = ProgramPng(9, 4);
  for (size_t n = 0; n < png.size(); ++n)
    ASSERT_NE(CheckPng(png.substr(0, n), {}), TPngVerdict::Ok) << n;
  EXPECT_EQ(CheckPng(png.substr(0, png.size() - 12), {}), TPngVerdict::Truncated);  // no IEND
  EXPECT_EQ(CheckPng(png + "\n", {}), TPngVerdict::TrailingData);
  EXPECT_EQ(CheckPng(png + png, {}), TPngVerdict::TrailingData);
}

TEST(PngCheck, DamagedAndFakeFilesSayWhy) {
  std::string flipped = ProgramPng(9, 4);
  flipped[flipped.size() - 20] ^= 1;  // inside the image data
  std::string idatLength = kSignature + Ihdr(2, 2) + Idat() + Iend();
  idatLength[33 + 3] = static_cast<char>(0xFF);  // the IDAT's length, beyond the file
  std::string hugeLength = kSignature + Ihdr(2, 2) + Idat() + Iend();
  hugeLength[33] = static_cast<char>(0x80);
  const struct {
    std::string File;
    TPngVerdict Verdict;
  } cases[] = {
      {"", TPngVerdict::NotPng},
      {"\xFF\xD8\xFF\xE0\0\x10JFIF", TPngVerdict::NotPng},
      {"GIF89a" + std::string(40, '\0'), TPngVerdict::NotPng},
      {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", TPngVerdict::NotPng},
      {flipped, TPngVerdict::BadCrc},
      {idatLength, TPngVerdict::Truncated},
      {hugeLength, TPngVerdict::BadChunk},
      {kSignature + Idat() + Iend(), TPngVerdict::BadHeader},
      {kSignature + Ihdr(0, 5) + Idat() + Iend(), TPngVerdict::BadSize},
      {kSignature + Ihdr(5, 0) + Idat() + Iend(), TPngVerdict::BadSize},
      {kSignature + Ihdr(32769, 1) + Idat() + Iend(), TPngVerdict::BadSize},
      {kSignature + Ihdr(20000, 20000) + Idat() + Iend(), TPngVerdict::BadSize},  // beyond the pixel limit
      {kSignature + Ihdr(4, 4, 8, 5) + Idat() + Iend(), TPngVerdict::BadHeader},
      {kSignature + Ihdr(4, 4, 3, 2) + Idat() + Iend(), TPngVerdict::BadHeader},
      {kSignature + Ihdr(4, 4, 8, 2, 2) + Idat() + Iend(), TPngVerdict::BadHeader},
      {kSignature + Ihdr(4, 4) + Iend(), TPngVerdict::NoImageData},
      {kSignature + Ihdr(4, 4, 8, 3) + Idat() + Iend(), TPngVerdict::NoImageData},
      {kSignature + Ihdr(4, 4) + Idat() + Chunk("tEXt", "a") + Idat() + Iend(), TPngVerdict::BadChunk},
      {kSignature + Ihdr(4, 4) + Chunk("ABCD", "") + Idat() + Iend(), TPngVerdict::BadChunk},
      {kSignature + Ihdr(4, 4) + Chunk("a1cd", "") + Idat() + Iend(), TPngVerdict::BadChunk},
      {kSignature + Ihdr(4, 4) + Ihdr(4, 4) + Idat() + Iend(), TPngVerdict::BadChunk},
      {kSignature + Ihdr(4, 4) + Idat() + Chunk("IEND", "x"), TPngVerdict::BadChunk},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckPng(c.File, {}), c.Verdict) << PngVerdictText(c.Verdict);
  TPngLimits small;
  small.MaxSide = 8;
  EXPECT_EQ(CheckPng(ProgramPng(9, 4), small), TPngVerdict::BadSize);
}

}  // namespace
