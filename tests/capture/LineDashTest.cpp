#include "capture/LineDash.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Points(TLineDash& dash, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += dash.Next() ? 'W' : 'B';
  return s;
}

}  // namespace

TEST(LineDash, FiveBlackThreeWhiteCarriedFromPointToPoint) {
  TLineDash dash;
  EXPECT_EQ(Points(dash, 24), "BBBBBWWWBBBBBWWWBBBBBWWW");
  // The state is always one bit while drawing.
  for (int i = 0; i < 16; ++i) {
    dash.Next();
    const uint8_t p = dash.Pattern();
    EXPECT_TRUE(p != 0 && (p & (p - 1)) == 0) << int(p);
  }
}

TEST(LineDash, NextDrawingStartsWhereTheLastEnded) {
  // An outline of 13 points: the second drawing begins five points into the pattern.
  TLineDash dash;
  EXPECT_EQ(Points(dash, 13), "BBBBBWWWBBBBB");
  EXPECT_EQ(Points(dash, 13), "WWWBBBBBWWWBB");
  dash.Reset();  // a new picker starts afresh
  EXPECT_EQ(Points(dash, 8), "BBBBBWWW");
}

TEST(LineDash, OutlineIsDrawnOnEveryEleventhTick) {
  int delay = 0;
  std::string ticks;
  for (int i = 0; i < 33; ++i) ticks += OutlineTick(delay) ? '#' : '.';
  EXPECT_EQ(ticks, "..........#..........#..........#");
}

TEST(LineDash, OutlineSurroundsTheTarget) {
  EXPECT_EQ(OutlineBounds(TRect{100, 50, 180, 80}), (TRect{99, 49, 181, 81}));
  EXPECT_EQ(OutlineBounds(TRect{-1024, 0, 0, 768}), (TRect{-1025, -1, 1, 769}));
}
