#include "capture/AreaGeometry.h"

#include <gtest/gtest.h>

#include <vector>

TEST(AreaGeometry, RingHoleAndCaptureRectangle) {
  for (int head : {25, 38, 50}) {
    const TAreaSize window = AreaWindowSize({480, 360}, head);
    EXPECT_EQ(window, (TAreaSize{492, 360 + head + 12}));
    EXPECT_EQ(AreaCaptureSize(window, head), (TAreaSize{480, 360}));
    EXPECT_EQ(AreaHole(window, head), (TRect{6, head + 6, 486, 366 + head}));
    // On a monitor left of the primary one the coordinates are negative.
    const TRect r = AreaCaptureRect({-1000, -20, -1000 + window.Width, -20 + window.Height}, head);
    EXPECT_EQ(r, (TRect{-994, head - 14, -514, head + 346}));
    EXPECT_EQ(r.Width(), 480);
    EXPECT_EQ(r.Height(), 360);
  }
}

TEST(AreaGeometry, SmallestCaptureIsTwoByTwo) {
  const int head = 25;
  EXPECT_EQ(ConstrainAreaWindow({14, 39}, head), (TAreaSize{14, 39}));  // exactly 2 x 2
  EXPECT_EQ(ConstrainAreaWindow({13, 38}, head), (TAreaSize{14, 39}));
  EXPECT_EQ(ConstrainAreaWindow({0, 0}, head), (TAreaSize{14, 39}));
  EXPECT_EQ(ConstrainAreaWindow({-50, 100}, head), (TAreaSize{14, 100}));
  EXPECT_EQ(ConstrainAreaWindow({300, 20}, 38), (TAreaSize{300, 52}));
  EXPECT_EQ(ConstrainAreaWindow({492, 397}, head), (TAreaSize{492, 397}));
}

TEST(AreaGeometry, HitTestBands) {
  const TAreaSize c{492, 397};  // 480 x 360 at head 25
  const int head = 25;
  const struct {
    int X, Y;
    TAreaHit Hit;
  } cases[] = {
      {0, 25, TAreaHit::TopLeft},      {5, 30, TAreaHit::TopLeft},      {6, 30, TAreaHit::Top},
      {486, 30, TAreaHit::Top},        {487, 30, TAreaHit::TopRight},   {491, 25, TAreaHit::TopRight},
      {200, 0, TAreaHit::Top},         {0, 31, TAreaHit::Left},         {5, 200, TAreaHit::Left},
      {487, 200, TAreaHit::Right},     {491, 390, TAreaHit::Right},     {0, 392, TAreaHit::BottomLeft},
      {5, 396, TAreaHit::BottomLeft},  {6, 396, TAreaHit::Bottom},      {486, 392, TAreaHit::Bottom},
      {487, 392, TAreaHit::BottomRight}, {491, 396, TAreaHit::BottomRight},
      // The first ring pixels on the right and bottom and anything inside are no band.
      {486, 200, TAreaHit::Caption},   {200, 391, TAreaHit::Caption},   {200, 200, TAreaHit::Caption},
  };
  for (const auto& k : cases) EXPECT_EQ(AreaHitTest(k.X, k.Y, c, head), k.Hit) << k.X << "," << k.Y;
}

TEST(AreaGeometry, OnlyAPlaceStrictlyInsideTheDesktopIsAccepted) {
  const TRect single{0, 0, 1280, 800};
  const TRect twoMonitors{-1024, 0, 1280, 1024};
  const struct {
    TAreaPlace Place;
    TRect Desktop;
    bool Accepted;
  } cases[] = {
      {{400, 220, 480, 360}, single, true},
      {{0, 220, 480, 360}, single, false},       // on the left edge
      {{1, 1, 480, 360}, single, true},
      {{400, 0, 480, 360}, single, false},       // on the top edge
      {{800, 220, 480, 360}, single, false},     // right side on the edge
      {{799, 439, 480, 360}, single, true},
      {{400, 440, 480, 360}, single, false},     // bottom on the edge
      {{-500, 100, 480, 360}, single, false},
      {{-500, 100, 480, 360}, twoMonitors, true},
      {{-1024, 100, 480, 360}, twoMonitors, false},
      {{2147483600, 100, 480, 360}, single, false},  // no overflow into acceptance
      {{100, 2147483600, 480, 360}, single, false},
  };
  for (const auto& k : cases)
    EXPECT_EQ(PlaceInsideDesktop(k.Place, k.Desktop), k.Accepted) << k.Place.Left << "," << k.Place.Top;
}

TEST(AreaGeometry, DefaultPlaceIsCentredOnThePrimaryScreen) {
  EXPECT_EQ(DefaultAreaPlace(1280, 800), (TAreaPlace{400, 220, 480, 360}));
  EXPECT_EQ(DefaultAreaPlace(1366, 767), (TAreaPlace{443, 203, 480, 360}));
  // Truncated toward zero on a screen smaller than the frame.
  EXPECT_EQ(DefaultAreaPlace(401, 301), (TAreaPlace{-39, -29, 480, 360}));
}

TEST(AreaGeometry, HeaderPartsShowByWindowWidth) {
  const struct {
    int Width;
    bool Size, Rec, Close;
  } cases[] = {{293, true, true, true},    {292, true, false, true}, {113, true, false, true},
               {112, true, false, false},  {72, true, false, false}, {65, true, false, false},
               {64, false, false, false},  {14, false, false, false}};
  for (const auto& k : cases) {
    const THeaderLayout l = AreaHeaderLayout(k.Width, 25, 80);
    EXPECT_EQ(l.SizeVisible, k.Size) << k.Width;
    EXPECT_EQ(l.RecVisible, k.Rec) << k.Width;
    EXPECT_EQ(l.CloseVisible, k.Close) << k.Width;
  }
  const THeaderLayout l = AreaHeaderLayout(492, 25, 80);
  EXPECT_EQ(l.Size, (TRect{0, 0, 80, 25}));
  EXPECT_EQ(l.Rec, (TRect{80, 0, 412, 25}));
  EXPECT_EQ(l.Close, (TRect{412, 0, 492, 25}));
  // Scaled panels at 150 %.
  const THeaderLayout big = AreaHeaderLayout(738, 38, 120);
  EXPECT_EQ(big.Rec, (TRect{120, 0, 618, 38}));
  EXPECT_EQ(big.Close, (TRect{618, 0, 738, 38}));
}

TEST(AreaGeometry, KeysMoveAndResize) {
  using namespace areakey;
  const struct {
    unsigned Key;
    bool Shift, Ctrl, Alt;
    TAreaKeyAction Action;
  } cases[] = {
      {F4, false, false, true, {true, true, 0, 0, 0, 0}},
      {F4, true, true, true, {true, true, 0, 0, 0, 0}},
      {F4, false, false, false, {}},
      {Up, true, false, false, {true, false, 0, 0, 0, -1}},
      {Down, true, false, false, {true, false, 0, 0, 0, 1}},
      {Left, true, false, false, {true, false, 0, 0, -1, 0}},
      {Right, true, false, false, {true, false, 0, 0, 1, 0}},
      {Right, true, true, false, {true, false, 0, 0, 1, 0}},  // Shift wins over Ctrl
      {Up, false, true, false, {true, false, 0, 0, 0, -10}},
      {Down, false, true, false, {true, false, 0, 0, 0, 10}},
      {Left, false, true, false, {true, false, 0, 0, -10, 0}},
      {Right, false, true, false, {true, false, 0, 0, 10, 0}},
      {Up, false, false, false, {true, false, 0, -1, 0, 0}},
      {Down, false, false, false, {true, false, 0, 1, 0, 0}},
      {Left, false, false, false, {true, false, -1, 0, 0, 0}},
      {Right, false, false, false, {true, false, 1, 0, 0, 0}},
      {Right, false, false, true, {true, false, 1, 0, 0, 0}},
      {0x41, true, true, false, {}},
  };
  for (const auto& k : cases)
    EXPECT_EQ(AreaKeyAction(k.Key, k.Shift, k.Ctrl, k.Alt), k.Action)
        << k.Key << " shift " << k.Shift << " ctrl " << k.Ctrl << " alt " << k.Alt;
}

TEST(AreaGeometry, SizeFields) {
  const struct {
    const wchar_t* Text;
    int Value;
  } cases[] = {{L"800", 800},   {L"64", 64},     {L"63", 64},     {L"2", 64},        {L"-5", 64},
               {L"9999", 9999}, {L"10000", 9999}, {L" 640 ", 640}, {L"", 64},        {L"abc", 64},
               {L"12a", 64},    {L"99999999999999", 9999}, {L"-99999999999", 64}, {L"+", 64}};
  for (const auto& k : cases) EXPECT_EQ(SizeFieldValue(k.Text), k.Value) << k.Text;
  EXPECT_EQ(ClampSizeField(60), 64);
  EXPECT_EQ(ClampSizeField(480), 480);
  EXPECT_EQ(ClampSizeField(int64_t{1} << 40), 9999);
  EXPECT_EQ(SizeText(480, 360), L"480x360");
  EXPECT_EQ(SizeText(64, 9999), L"64x9999");
}

TEST(AreaGeometry, DarkenedRingColour) {
  EXPECT_EQ(DarkenColor(0x0000FF, 0), 0x0000FFu);
  EXPECT_EQ(DarkenColor(0x0000FF, 5), 0x0000F2u);   // 255 - 12.75 -> 242
  EXPECT_EQ(DarkenColor(0x0000FF, 10), 0x0000E5u);  // 25.5 rounds to 26
  EXPECT_EQ(DarkenColor(0x0000FF, 30), 0x0000B3u);  // 76.5 rounds to 76
  EXPECT_EQ(DarkenColor(0x0000FF, 45), 0x00008Cu);  // 114.75 -> 115
  EXPECT_EQ(DarkenColor(0x804020, 50), 0x402010u);  // every component
  EXPECT_EQ(DarkenColor(0xFFFFFF, 100), 0u);
}

TEST(AreaGeometry, PulseCycleTakesEighteenTicks) {
  TPulse p;
  std::vector<int> seen;
  for (int i = 0; i < 20; ++i) seen.push_back(p.Tick());
  const std::vector<int> expected = {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 40, 35, 30, 25, 20, 15, 10, 5, 0, 5};
  EXPECT_EQ(seen, expected);
}
