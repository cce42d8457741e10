#include "capture/LineDash.h"

TRect OutlineBounds(const TRect& target) {
  return TRect{target.Left - 1, target.Top - 1, target.Right + 1, target.Bottom + 1};
}
