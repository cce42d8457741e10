#include "outputs/RtOcrCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/Text.h"

using namespace rtocr;

namespace {

struct TRegionCase {
  int W, H, L, T, R, B;
  const wchar_t* Error;  // nullptr: accepted
  TRegion Expected = {};
};

TEST(RtOcrRegion, ChecksInOrderAndAllZeroMeansTheWholePicture) {
  const TRegionCase cases[] = {
      {10, 8, 0, 0, 0, 0, nullptr, {0, 0, 10, 8}},
      {10, 8, 0, 0, 10, 8, nullptr, {0, 0, 10, 8}},
      {10, 8, 2, 3, 7, 5, nullptr, {2, 3, 7, 5}},
      {10, 8, 5, 0, 0, 3, L"Incorrect Right value"},
      {10, 8, 0, 0, 10, 9, L"Incorrect Bottom value"},
      {10, 8, 0, 0, 3, 0, L"Incorrect Bottom value"},
      {10, 8, 0, 0, 11, 8, L"Incorrect Right value"},
      {10, 8, -1, -1, 3, 3, L"Incorrect Left value"},  // Left first, though Top is wrong too
      {10, 8, 0, -1, 30, 3, L"Incorrect Top value"},
      {0, 0, 0, 0, 0, 0, L"Incorrect Right value"},    // an empty picture
      // An empty or inverted region passes here; the engine's bitmap creation refuses it.
      {10, 8, 6, 2, 4, 5, nullptr, {6, 2, 4, 5}},
  };
  for (const TRegionCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " " << c.L << "," << c.T << "," << c.R << "," << c.B);
    if (c.Error) {
      try {
        CheckRegion(c.W, c.H, c.L, c.T, c.R, c.B);
        ADD_FAILURE() << "accepted";
      } catch (const ERtOcrError& e) {
        EXPECT_EQ(e.Message(), c.Error);
      }
    } else {
      const TRegion r = CheckRegion(c.W, c.H, c.L, c.T, c.R, c.B);
      EXPECT_EQ(r.Left, c.Expected.Left);
      EXPECT_EQ(r.Top, c.Expected.Top);
      EXPECT_EQ(r.Right, c.Expected.Right);
      EXPECT_EQ(r.Bottom, c.Expected.Bottom);
    }
  }
}

// A 5 x 4 picture whose rows carry 8 bytes of padding; pixel (x, y) is x, y, 100 + x, 200 + y.
struct TPicture {
  static constexpr int W = 5, H = 4, Stride = W * 4 + 8;
  std::vector<uint8_t> Bytes = std::vector<uint8_t>(Stride * H, 0xEE);
  TPicture() {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        uint8_t* p = &Bytes[y * Stride + x * 4];
        p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = uint8_t(100 + x), p[3] = uint8_t(200 + y);
      }
  }
  TPixelView View(int bpp = 32) const {
    TPixelView v;
    v.Width = W, v.Height = H, v.BitsPerPixel = bpp, v.Pixels = Bytes.data(), v.Stride = Stride;
    return v;
  }
};

// An engine buffer of `size` bytes filled with 0x55, and its plane for a w x h bitmap.
struct TBuffer {
  std::vector<uint8_t> Bytes;
  TOcrPlane Plane;
  TBuffer(size_t size, int start, int w, int h, int stride) : Bytes(size, 0x55) {
    Plane = TOcrPlane{Bytes.data(), Bytes.size(), start, w, h, stride};
  }
};

TEST(RtOcrRegion, CopiesTheRegionIntoThePlaneRowsOpaque) {
  // Rows 16 bytes apart from byte 8; the region's rows are 12 bytes.
  TPicture pic;
  TBuffer buffer(8 + 16 + 12 + 4, 8, 3, 2, 16);
  CopyRegion(pic.View(), TRegion{1, 1, 4, 3}, buffer.Plane);
  std::vector<uint8_t> expected(8, 0x55);
  for (int y = 1; y < 3; ++y) {
    for (int x = 1; x < 4; ++x) expected.insert(expected.end(), {uint8_t(x), uint8_t(y), uint8_t(100 + x), 0xFF});
    expected.insert(expected.end(), 4, 0x55);  // the gap after the row, and the guard at the end
  }
  EXPECT_EQ(buffer.Bytes, expected);

  // Rows that follow each other closely from the first byte.
  TBuffer tight(TPicture::W * TPicture::H * 4, 0, TPicture::W, TPicture::H, TPicture::W * 4);
  CopyRegion(pic.View(), TRegion{0, 0, TPicture::W, TPicture::H}, tight.Plane);
  EXPECT_EQ(tight.Bytes[0], 0);
  EXPECT_EQ(tight.Bytes[3], 0xFF);
  EXPECT_EQ(tight.Bytes.back(), 0xFF);
  EXPECT_EQ(tight.Bytes[tight.Bytes.size() - 2], 100 + TPicture::W - 1);
}

TEST(RtOcrRegion, RefusesToWriteWhatTheBufferOrPictureCannotHold) {
  TPicture pic;
  const TRegion all{0, 0, TPicture::W, TPicture::H};
  const int row = TPicture::W * 4;
  struct TCase {
    const char* What;
    int Start, Width, Height, Stride;
    size_t Size;
    TRegion Region;
    int Bpp = 32;
  } cases[] = {
      {"one byte short", 0, 5, 4, row, size_t(row * 4 - 1), all},
      {"one byte short after the start", 4, 5, 4, row, size_t(row * 4 + 3), all},
      {"one byte short with wide rows", 0, 5, 4, row + 8, size_t((row + 8) * 3 + row - 1), all},
      {"rows overlapping", 0, 5, 4, row - 4, size_t(row * 4), all},
      {"a negative start", -4, 5, 4, row, size_t(row * 4), all},
      {"a plane narrower than the region", 0, 4, 4, row, size_t(row * 4), all},
      {"a plane lower than the region", 0, 5, 3, row, size_t(row * 4), all},
      {"a 24-bit picture", 0, 3, 3, 12, size_t(36), TRegion{0, 0, 3, 3}, 24},
      {"a region beyond the picture", 0, 6, 4, 24, size_t(96), TRegion{0, 0, 6, 4}},
      {"an inverted region", 0, 5, 4, row, size_t(row * 4), TRegion{3, 0, 2, 4}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TBuffer buffer(c.Size, c.Start, c.Width, c.Height, c.Stride);
    const std::vector<uint8_t> untouched = buffer.Bytes;
    EXPECT_THROW(CopyRegion(pic.View(c.Bpp), c.Region, buffer.Plane), ERtOcrError);
    EXPECT_EQ(buffer.Bytes, untouched);
  }
  TBuffer none(row * 4, 0, 5, 4, row);
  none.Plane.Bytes = nullptr;
  EXPECT_THROW(CopyRegion(pic.View(), all, none.Plane), ERtOcrError);
}

TEST(RtOcrSize, EnlargesThreeTimesWithinTheEnginesLargestSide) {
  struct {
    int W, H;
    uint32_t Max;
    TPictureSize Expected;
  } cases[] = {
      {40, 30, 10000, {120, 90}},
      {3333, 100, 10000, {9999, 300}},        // three times still fits
      {3334, 100, 10000, {10000, 300}},       // 3.0 would not: the largest factor that does
      {3840, 2160, 10000, {10000, 5625}},     // a 4K monitor
      {2160, 3840, 10000, {5625, 10000}},     // the taller side decides
      {10000, 10, 10000, {10000, 10}},        // as large as allowed: left as it is
      {12000, 6001, 10000, {10000, 5001}},    // too large: scaled down, to the nearest pixel
      {30000, 1, 10000, {10000, 1}},          // never thinner than a pixel
      {7, 5, 0, {21, 15}},                    // no limit reported
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " max " << c.Max);
    const TPictureSize s = RecognitionSize(c.W, c.H, c.Max);
    EXPECT_EQ(s.Width, c.Expected.Width);
    EXPECT_EQ(s.Height, c.Expected.Height);
    if (c.Max) {
      EXPECT_LE(std::max(s.Width, s.Height), static_cast<int>(c.Max));
    }
  }
}

TEST(RtOcrLanguage, MatchesAllFourNamesExactly) {
  std::vector<TEngineLanguage> engine = {
      {{L"English (United States)", L"en-US", L"English (United States)", L"Latn"}, nullptr},
      {{L"Korean", L"ko", L"한국어", L"Kore"}, nullptr},
      {{L"Korean", L"ko", L"한국어", L"Kore"}, nullptr},
  };
  EXPECT_EQ(FindEngineLanguage(engine, engine[0].Names), 0);
  EXPECT_EQ(FindEngineLanguage(engine, {L"Korean", L"ko", L"한국어", L"Kore"}), 1);  // the first of equals
  const TLanguage oneOff[] = {
      {L"korean", L"ko", L"한국어", L"Kore"},
      {L"Korean", L"KO", L"한국어", L"Kore"},
      {L"Korean", L"ko", L"한국", L"Kore"},
      {L"Korean", L"ko", L"한국어", L"kore"},
      {L"Korean", L"ko", L"한국어", L""},
  };
  for (const TLanguage& l : oneOff)
    EXPECT_EQ(FindEngineLanguage(engine, l), -1)
        << WideToUtf8(l.DisplayName + L"/" + l.LanguageTag + L"/" + l.NativeName + L"/" + l.Script);
  EXPECT_EQ(FindEngineLanguage({}, engine[0].Names), -1);
}

TEST(RtOcrStatus, OnlyCompletedAndCanceledAreNotErrors) {
  EXPECT_EQ(StatusOfAsync(1), stCompleted);
  EXPECT_EQ(StatusOfAsync(2), stCanceled);
  for (int s : {0, 3, 4, -1}) EXPECT_EQ(StatusOfAsync(s), stError) << s;
}

}  // namespace
