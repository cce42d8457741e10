#include "base/Controller.h"

#include <gtest/gtest.h>

TEST(DecideStart, RefusesUnsupportedCombinations) {
  for (int mode : {caDrag, caActiveWindow, caWindowControl, caWebPage})
    EXPECT_EQ(DecideStart(mode, toMP4, stIdle), TStartAction::Refuse) << mode;
  EXPECT_EQ(DecideStart(caWebPage, toFloating, stIdle), TStartAction::Refuse);
  EXPECT_EQ(DecideStart(caWebPage, toFloating, stRunning), TStartAction::Refuse);
  // the colour picker is never refused; with MP4 it records the whole screen
  EXPECT_EQ(DecideStart(caColorPicker, toMP4, stIdle), TStartAction::RecordStart);
  EXPECT_EQ(DecideStart(caColorPicker, toFloating, stIdle), TStartAction::Capture);
}

TEST(DecideStart, RecordingToggles) {
  for (int mode : {caFullScreen, caRegion}) {
    EXPECT_EQ(DecideStart(mode, toMP4, stIdle), TStartAction::RecordStart);
    EXPECT_EQ(DecideStart(mode, toMP4, stRunning), TStartAction::RecordStop);
    EXPECT_EQ(DecideStart(mode, toMP4, stBusy), TStartAction::Ignore);
  }
}

TEST(DecideStart, CapturesOnlyWhenIdle) {
  for (int output = toPNG; output <= toFloating; ++output) {
    if (output == toMP4) continue;
    EXPECT_EQ(DecideStart(caFullScreen, output, stIdle), TStartAction::Capture);
    EXPECT_EQ(DecideStart(caFullScreen, output, stRunning), TStartAction::Ignore);
    EXPECT_EQ(DecideStart(caFullScreen, output, stBusy), TStartAction::Ignore);
  }
}

TEST(Controller, StoredAreaRemembersOnlyTheFirstFourModes) {
  EXPECT_EQ(StoredArea(caFullScreen), 0);
  EXPECT_EQ(StoredArea(caRegion), 1);
  EXPECT_EQ(StoredArea(caDrag), 2);
  EXPECT_EQ(StoredArea(caActiveWindow), 3);
  for (int mode : {int(caWindowControl), int(caWebPage), int(caColorPicker), -1}) EXPECT_EQ(StoredArea(mode), 0);
}

TEST(Controller, SoundMoments) {
  // before: every mode but drag, which plays once the rectangle is dragged
  EXPECT_TRUE(PlaysSound(TSoundMoment::BeforeCapture, caFullScreen, snBefore));
  EXPECT_FALSE(PlaysSound(TSoundMoment::BeforeCapture, caDrag, snBefore));
  EXPECT_TRUE(PlaysSound(TSoundMoment::AfterDrag, caDrag, snBefore));
  EXPECT_FALSE(PlaysSound(TSoundMoment::AfterDrag, caDrag, snAfter));
  EXPECT_TRUE(PlaysSound(TSoundMoment::AfterDelivery, caRegion, snAfter));
  EXPECT_FALSE(PlaysSound(TSoundMoment::AfterDelivery, caColorPicker, snAfter));
  for (int sound : {int(snNone), 0, 7})
    for (auto m : {TSoundMoment::BeforeCapture, TSoundMoment::AfterDrag, TSoundMoment::AfterDelivery})
      EXPECT_FALSE(PlaysSound(m, caFullScreen, sound));
}
