#include "capture/DragSelect.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The overlay's dimming as stated: about 60 %, rounded.
int Dimmed(int v) { return (v * 19660 + 16384) >> 15; }

}  // namespace

TEST(DragSelection, DragFromTenToTwentyCoversPixelsTenToNineteen) {
  TDragSelection s(100, 100);
  s.Press(10, 10);
  EXPECT_TRUE(s.Move(15, 12));
  EXPECT_EQ(s.Rect(), (TRect{10, 10, 15, 12}));
  EXPECT_TRUE(s.Release(20, 20));
  EXPECT_FALSE(s.Selecting());
  EXPECT_EQ(s.Rect(), (TRect{10, 10, 20, 20}));
  EXPECT_EQ(s.Rect().Width(), 10);
  EXPECT_EQ(s.Rect().Height(), 10);
}

TEST(DragSelection, EveryDirectionGivesTheSameRectangle) {
  const struct {
    int x1, y1, x2, y2;
  } drags[] = {{10, 10, 20, 20}, {20, 20, 10, 10}, {20, 10, 10, 20}, {10, 20, 20, 10}};
  for (const auto& d : drags) {
    TDragSelection s(100, 100);
    s.Press(d.x1, d.y1);
    EXPECT_TRUE(s.Release(d.x2, d.y2));
    EXPECT_EQ(s.Rect(), (TRect{10, 10, 20, 20})) << d.x1 << "," << d.y1 << " -> " << d.x2 << "," << d.y2;
  }
}

TEST(DragSelection, ZeroSizeReleasesLeaveTheOverlayWaiting) {
  const struct {
    int x2, y2;
  } releases[] = {{30, 40}, {55, 40}, {30, 70}};  // no move, only horizontal, only vertical
  for (const auto& r : releases) {
    TDragSelection s(100, 100);
    s.Press(30, 40);
    EXPECT_FALSE(s.Release(r.x2, r.y2)) << r.x2 << "," << r.y2;
    EXPECT_FALSE(s.Selecting());
    EXPECT_EQ(s.Rect().Width() * s.Rect().Height(), 0);
    // The user may drag again.
    s.Press(1, 2);
    EXPECT_TRUE(s.Release(4, 6));
    EXPECT_EQ(s.Rect(), (TRect{1, 2, 4, 6}));
  }
}

TEST(DragSelection, PointerOutsideADragChangesNothing) {
  TDragSelection s(100, 100);
  EXPECT_FALSE(s.Move(50, 50));
  EXPECT_FALSE(s.Release(60, 60));
  EXPECT_EQ(s.Rect(), TRect{});
  s.Press(10, 10);
  EXPECT_TRUE(s.Release(20, 20));
  // After the release the pointer no longer drags.
  EXPECT_FALSE(s.Move(90, 90));
  EXPECT_FALSE(s.Release(90, 90));
  EXPECT_EQ(s.Rect(), (TRect{10, 10, 20, 20}));
}

TEST(DragSelection, StaysInsideTheOverlay) {
  // Positions outside the window (a captured pointer) cannot reach outside the screenshot.
  TDragSelection s(100, 80);
  s.Press(90, 70);
  EXPECT_TRUE(s.Release(300, -40));
  EXPECT_EQ(s.Rect(), (TRect{90, 0, 100, 70}));
  s.Press(-5, 200);
  EXPECT_FALSE(s.Release(-20, 300));
}

TEST(DragSelection, ScreenRectangleStartsAtTheSmallestMonitorOrigin) {
  // Left monitor at x = -1920: 100 pixels from the overlay's left edge is x = -1820.
  EXPECT_EQ(SelectionToScreen(TRect{100, 50, 300, 250}, -1920, 0), (TRect{-1820, 50, -1620, 250}));
  EXPECT_EQ(SelectionToScreen(TRect{0, 0, 10, 10}, -1024, -768), (TRect{-1024, -768, -1014, -758}));
  EXPECT_EQ(SelectionToScreen(TRect{10, 10, 20, 20}, 0, 0), (TRect{10, 10, 20, 20}));
}

TEST(DragDim, RoundsToSixtyPercent) {
  EXPECT_EQ(DimByte(0), 0);
  EXPECT_EQ(DimByte(1), 1);  // 0.6 rounds up
  EXPECT_EQ(DimByte(2), 1);
  EXPECT_EQ(DimByte(128), 77);
  EXPECT_EQ(DimByte(255), 153);
  // The bulk path gives the same bytes as the formula, at every alignment and length, with
  // the destination in step with the source or not.
  std::vector<uint8_t> src(600), dst(600);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + i / 256);
  const std::pair<size_t, size_t> offsets[] = {{0, 0}, {1, 1}, {5, 5}, {15, 15}, {0, 3}, {7, 2}, {16, 1}};
  for (const auto& [from, to] : offsets) {
    for (size_t count : {0, 1, 15, 16, 17, 33, 513}) {
      std::fill(dst.begin(), dst.end(), 0xAB);
      DimBytes(src.data() + from, dst.data() + to, count);
      for (size_t i = 0; i < dst.size(); ++i) {
        const bool in = i >= to && i < to + count;
        ASSERT_EQ(dst[i], in ? Dimmed(src[i - to + from]) : 0xAB)
            << "from " << from << " to " << to << " count " << count << " at " << i;
      }
    }
  }
}

namespace {

// A 24-bit picture with padded rows, every byte value present.
struct TPicture {
  int Width, Height;
  ptrdiff_t Stride;
  std::vector<uint8_t> Bytes;
  TPicture(int w, int h) : Width(w), Height(h), Stride((w * 3 + 3) / 4 * 4), Bytes(Stride * h) {}
  uint8_t At(int x, int y, int c) const { return Bytes[y * Stride + x * 3 + c]; }
};

void CheckDisplay(const TPicture& src, const TPicture& dst, const TRect& inside) {
  for (int y = 0; y < src.Height; ++y) {
    for (int x = 0; x < src.Width; ++x) {
      const bool in = x >= inside.Left && x < inside.Right && y >= inside.Top && y < inside.Bottom;
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(dst.At(x, y, c), in ? src.At(x, y, c) : Dimmed(src.At(x, y, c)))
            << "pixel " << x << "," << y << " byte " << c;
    }
    for (ptrdiff_t p = src.Width * 3; p < src.Stride; ++p) ASSERT_EQ(dst.Bytes[y * dst.Stride + p], 0xEE);
  }
}

}  // namespace

TEST(DragDim, DimsEverythingOutsideTheSelection) {
  TPicture src(37, 9);  // 111 bytes a row, one byte of padding
  for (size_t i = 0; i < src.Bytes.size(); ++i) src.Bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  const TRect cases[] = {
      {},                  // before any drag: all dimmed
      {10, 2, 20, 6},      // a drag from (10, 2) to (20, 6): columns 10..19, rows 2..5
      {0, 0, 1, 1},        // the corner pixel
      {36, 8, 37, 9},      // the last pixel
      {5, 0, 6, 9},        // one column
      {0, 0, 37, 9},       // everything
      {-10, -10, 50, 50},  // beyond the picture: cut to it
  };
  for (const TRect& sel : cases) {
    TPicture dst(37, 9);
    std::fill(dst.Bytes.begin(), dst.Bytes.end(), 0xEE);
    DimOutside(src.Bytes.data(), src.Stride, dst.Bytes.data(), dst.Stride, src.Width, src.Height, sel);
    SCOPED_TRACE(testing::Message() << "selection " << sel.Left << "," << sel.Top << "," << sel.Right << ","
                                    << sel.Bottom);
    CheckDisplay(src, dst, ClampSelection(sel, 37, 9));
  }
}
