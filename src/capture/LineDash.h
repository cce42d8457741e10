// The window picker's crawling outline, without any window: the dash pattern that runs from
// point to point around the outline, the outline's place around its target, and how often
// it is drawn.
#pragma once
#include <cstdint>

#include "base/Types.h"

// The running state of the dashes: a single set bit that moves up one place per point,
// 5 black points then 3 white. It carries on from edge to edge and from one drawing of the
// outline to the next, so each drawing starts at another phase and the dashes travel.
class TLineDash {
 public:
  // The next point's colour: true for white.
  bool Next() {
    FPattern = static_cast<uint8_t>(FPattern << 1);
    if (FPattern == 0) FPattern = 1;
    return FPattern >= 32;
  }
  uint8_t Pattern() const { return FPattern; }
  void Reset() { FPattern = 0; }

 private:
  uint8_t FPattern = 0;
};

// The picker's window around a target's bounds: one pixel larger on every side, so the
// outline surrounds the target without covering it.
TRect OutlineBounds(const TRect& target);

// Ticks of the tracking timer between two drawings of the outline.
constexpr int kOutlineDelay = 10;

// One tick: true when the outline is drawn on this tick (every eleventh), else counts up.
inline bool OutlineTick(int& delay) {
  if (delay < kOutlineDelay) {
    ++delay;
    return false;
  }
  delay = 0;
  return true;
}
