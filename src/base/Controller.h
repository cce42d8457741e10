// The capture controller's rules: what one capture request does, by mode, output and
// status; when the capture sound plays; which setting value a mode change stores.
#pragma once
#include "base/Types.h"

enum class TStartAction {
  Refuse,        // "지원하지 않는 캡쳐영역입니다."
  RecordStart,
  RecordStop,
  Capture,       // CaptureStart
  Ignore,        // busy: the request is dropped, not queued
};

TStartAction DecideStart(int mode, int output, TStatus status);

// The "area" value written after a mode change: modes 0-3 are remembered, others are not.
int StoredArea(int mode);

enum class TSoundMoment { BeforeCapture, AfterDrag, AfterDelivery };
// Whether the capture sound plays at `moment` for this mode and sound setting.
bool PlaysSound(TSoundMoment moment, int mode, int sound);
