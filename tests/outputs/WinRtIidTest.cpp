// The parameterised interface identifiers of the recognition runtime, recomputed from their
// type signatures the way the Windows Runtime derives them: a name-based UUID (version 5,
// SHA-1) in the runtime's namespace over the UTF-8 signature.
#include "outputs/WinRtOcrIids.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

using winrt_iid::TGuid;

namespace {

// SHA-1 (FIPS 180-4), checked against the standard's own examples below.
std::array<uint8_t, 20> Sha1(const std::vector<uint8_t>& message) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::vector<uint8_t> m = message;
  const uint64_t bits = static_cast<uint64_t>(message.size()) * 8;
  m.push_back(0x80);
  while (m.size() % 64 != 56) m.push_back(0);
  for (int i = 7; i >= 0; --i) m.push_back(static_cast<uint8_t>(bits >> (i * 8)));
  auto rotl = [](uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
  for (size_t block = 0; block < m.size(); block += 64) {
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
      w[t] = uint32_t(m[block + t * 4]) << 24 | uint32_t(m[block + t * 4 + 1]) << 16 |
             uint32_t(m[block + t * 4 + 2]) << 8 | uint32_t(m[block + t * 4 + 3]);
    for (int t = 16; t < 80; ++t) w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
      uint32_t f, k;
      if (t < 20) f = (b & c) | (~b & d), k = 0x5A827999;
      else if (t < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
      else if (t < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      else f = b ^ c ^ d, k = 0xCA62C1D6;
      const uint32_t temp = rotl(a, 5) + f + e + k + w[t];
      e = d, d = c, c = rotl(b, 30), b = a, a = temp;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
  }
  std::array<uint8_t, 20> digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Hex(const std::array<uint8_t, 20>& digest) {
  std::string s;
  char b[3];
  for (uint8_t v : digest) std::snprintf(b, sizeof b, "%02x", v), s += b;
  return s;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", lower case, as signatures write a GUID.
std::string Braced(const TGuid& g) {
  char b[40];
  std::snprintf(b, sizeof b, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return b;
}

TGuid ParameterizedIid(const std::string& signature) {
  // The runtime's namespace 11F47AD5-7B73-42C0-ABAE-878B1E16ADEE, in network byte order.
  std::vector<uint8_t> data = {0x11, 0xF4, 0x7A, 0xD5, 0x7B, 0x73, 0x42, 0xC0,
                               0xAB, 0xAE, 0x87, 0x8B, 0x1E, 0x16, 0xAD, 0xEE};
  data.insert(data.end(), signature.begin(), signature.end());
  const std::array<uint8_t, 20> d = Sha1(data);
  TGuid g{};
  g.Data1 = uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | d[3];
  g.Data2 = static_cast<uint16_t>(d[4] << 8 | d[5]);
  g.Data3 = static_cast<uint16_t>(((d[6] << 8 | d[7]) & 0x0FFF) | 0x5000);  // version 5
  for (int i = 0; i < 8; ++i) g.Data4[i] = d[8 + i];
  g.Data4[0] = static_cast<uint8_t>((g.Data4[0] & 0x3F) | 0x80);  // the RFC 4122 variant
  return g;
}

// The generic interfaces' own identifiers, as the platform publishes them.
const std::string kIAsyncOperation = "{9fc2b0bb-e446-44e2-aa61-9cab8f636af2}";
const std::string kAsyncOperationCompletedHandler = "{fcdcf02c-e5d8-4478-915a-4d90b74b83a5}";
const std::string kIReference = "{61c17706-2d65-11e0-9ae8-d48564015472}";

std::string Instance(const std::string& generic, const std::string& argument) {
  return "pinterface(" + generic + ";" + argument + ")";
}

TEST(WinRtIid, Sha1GivesTheStandardsDigests) {
  EXPECT_EQ(Hex(Sha1(Bytes(""))), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hex(Sha1(Bytes("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hex(Sha1(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"))),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Hex(Sha1(std::vector<uint8_t>(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(WinRtIid, TheDerivationGivesIdentifiersThePlatformPublishes) {
  // Instances declared in the Windows headers: a handler of a base type and an operation
  // producing a runtime class (written by its default interface).
  EXPECT_EQ(Braced(ParameterizedIid(Instance(kAsyncOperationCompletedHandler, "b1"))),
            "{c1d3d1a2-ae17-5a5f-b5a2-bdcc8844889a}");
  EXPECT_EQ(Braced(ParameterizedIid(Instance(
                kIAsyncOperation,
                "rc(Windows.Media.SpeechSynthesis.SpeechSynthesisStream;{83e46e93-244c-4622-ba0b-6229c4d0d65d})"))),
            "{df9d48ad-9cea-560c-9edc-cb8852cb55e3}");
}

TEST(WinRtIid, TheRecognitionInterfacesMatchTheirSignatures) {
  // OcrResult is written with its default interface, so an error there shows here too.
  const std::string ocrResult = "rc(Windows.Media.Ocr.OcrResult;" + Braced(winrt_iid::IOcrResult) + ")";
  EXPECT_EQ(ocrResult, "rc(Windows.Media.Ocr.OcrResult;{9bd235b2-175b-3d6a-92e2-388c206e2f63})");
  const struct {
    const char* Name;
    std::string Signature;
    TGuid Declared;
  } cases[] = {
      {"IAsyncOperation<OcrResult>", Instance(kIAsyncOperation, ocrResult), winrt_iid::IAsyncOperation_OcrResult},
      {"AsyncOperationCompletedHandler<OcrResult>", Instance(kAsyncOperationCompletedHandler, ocrResult),
       winrt_iid::IAsyncOperationCompletedHandler_OcrResult},
      {"IReference<Double>", Instance(kIReference, "f8"), winrt_iid::IReference_Double},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Braced(ParameterizedIid(c.Signature)), Braced(c.Declared)) << c.Name << ": " << c.Signature;
}

}  // namespace
