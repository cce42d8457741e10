#include "base/Controller.h"

TStartAction DecideStart(int mode, int output, TStatus status) {
  if (mode != caColorPicker) {
    if (output == toMP4 && mode != caFullScreen && mode != caRegion) return TStartAction::Refuse;
    if (output == toFloating && mode == caWebPage) return TStartAction::Refuse;
  }
  if (output == toMP4) {
    switch (status) {
      case stIdle: return TStartAction::RecordStart;
      case stRunning: return TStartAction::RecordStop;
      default: return TStartAction::Ignore;
    }
  }
  return status == stIdle ? TStartAction::Capture : TStartAction::Ignore;
}

int StoredArea(int mode) { return (mode >= 0 && mode <= 3) ? mode : 0; }

bool PlaysSound(TSoundMoment moment, int mode, int sound) {
  switch (moment) {
    // Drag mode plays its "before" sound only once a rectangle has been dragged.
    case TSoundMoment::BeforeCapture: return sound == snBefore && mode != caDrag;
    case TSoundMoment::AfterDrag: return sound == snBefore && mode == caDrag;
    // The colour picker delivers no picture, so it has no after-sound.
    case TSoundMoment::AfterDelivery: return sound == snAfter && mode != caColorPicker;
  }
  return false;
}
