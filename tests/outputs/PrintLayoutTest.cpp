#include <gtest/gtest.h>

#include "outputs/PrintLayout.h"

namespace {

TEST(PrintRect, WholeDotsPerScreenPixelFromTheTopLeftCorner) {
  struct TCase {
    int W, H, DpiX, DpiY, Ppi, Right, Bottom;
  };
  const TCase cases[] = {
      {400, 300, 600, 600, 96, 2400, 1800},  // 6.25 truncates to 6
      {400, 300, 600, 300, 96, 2400, 900},
      {400, 300, 300, 300, 144, 800, 600},   // a 144-ppi screen
      {400, 300, 72, 600, 96, 400, 1800},    // coarser than the screen: dot for pixel
  };
  for (const TCase& c : cases) {
    const TRect r = PrintRect(c.W, c.H, c.DpiX, c.DpiY, c.Ppi);
    EXPECT_EQ(r, (TRect{0, 0, c.Right, c.Bottom})) << c.DpiX << "x" << c.DpiY << " at " << c.Ppi;
  }
}

}  // namespace
