#include "outputs/PrintLayout.h"

#include <algorithm>

TRect PrintRect(int width, int height, int printerDpiX, int printerDpiY, int screenPpi) {
  if (screenPpi <= 0) screenPpi = 96;
  const int sx = std::max(1, printerDpiX / screenPpi);
  const int sy = std::max(1, printerDpiY / screenPpi);
  return TRect{0, 0, width * sx, height * sy};
}
