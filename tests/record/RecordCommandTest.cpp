// The encoder's command lines, the mirror's size and the reading of the encoder's output.
#include <gtest/gtest.h>

#include "record/RecordCommand.h"

namespace {

TEST(RecordArguments, RegionWithSoundAndLimit) {
  TRecordParams p;
  p.Region = true;
  p.Driver = L"NAME";
  p.TimeLimit = L"-t 1800";
  p.Output = L"OUT";
  EXPECT_EQ(RecordArguments(p),
            L"-rtbufsize 150M -f dshow -i audio=\"NAME\" -f gdigrab -framerate 30 -draw_mouse 0 "
            L"-i title=\"Virtual_Screen\" -c:a aac -ac 2 -b:a 128k -c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 "
            L"-pix_fmt yuv420p -t 1800 -vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" -y \"OUT\"");
}

TEST(RecordArguments, FullScreenWithoutSoundOrLimitKeepsTheDoubleSpaces) {
  TRecordParams p;
  p.Monitor = TRect{0, 0, 1920, 1080};
  p.Output = L"OUT";
  EXPECT_EQ(RecordArguments(p),
            L"-rtbufsize 150M  -f gdigrab -framerate 30 -offset_x 0 -offset_y 0 -video_size 1920x1080 -i desktop  "
            L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p  "
            L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" -y \"OUT\"");
}

TEST(RecordArguments, MonitorLeftOfThePrimaryAndNoPointer) {
  TRecordParams p;
  p.Monitor = TRect{-1024, -200, 0, 568};
  p.Mouse = false;
  p.Output = L"C:\\My Videos\\V-001.mp4";
  const std::wstring args = RecordArguments(p);
  // Input options stand before "-i": after it ffmpeg would ignore them.
  EXPECT_NE(args.find(L" -f gdigrab -framerate 30 -offset_x -1024 -offset_y -200 -video_size 1024x768 -draw_mouse 0 "
                      L"-i desktop "),
            std::wstring::npos)
      << args;
  EXPECT_EQ(args.substr(args.size() - 28), L" -y \"C:\\My Videos\\V-001.mp4\"");
  // The region input never lets the encoder draw the pointer; the mirror has it already.
  p.Region = true;
  p.Mouse = true;
  EXPECT_NE(RecordArguments(p).find(L"-f gdigrab -framerate 30 -draw_mouse 0 -i title=\"Virtual_Screen\" "), std::wstring::npos);
}

TEST(RecordCommandLine, QuotesTheProgram) {
  TRecordParams p;
  p.FFMpeg = L"C:\\Program Files\\Vantoru\\ffmpeg.exe";
  p.Region = true;
  p.Output = L"O";
  EXPECT_EQ(RecordCommandLine(p), L"\"C:\\Program Files\\Vantoru\\ffmpeg.exe\" " + RecordArguments(p));
  EXPECT_EQ(DeviceListCommandLine(L"C:\\V\\ffmpeg.exe"), L"\"C:\\V\\ffmpeg.exe\" -list_devices true -f dshow -i dummy");
}

TEST(TimeLimitPiece, TheLastCheckedMarkWins) {
  const struct {
    bool Checked[5];
    const wchar_t* Piece;
  } cases[] = {
      {{false, false, false, false, false}, L""}, {{true, false, false, false, false}, L""},
      {{false, true, false, false, false}, L"-t 1800"}, {{false, false, true, false, false}, L"-t 3600"},
      {{false, false, false, true, false}, L"-t 7200"}, {{false, false, false, false, true}, L"-t 14400"},
      {{false, true, false, true, false}, L"-t 7200"},  {{false, false, false, true, true}, L"-t 14400"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeLimitPiece(c.Checked), c.Piece);
}

TEST(MirrorSide, HalvesGoToTheEvenNeighbour) {
  const int cases[][2] = {{101, 100}, {103, 104}, {3, 4}, {1, 0}, {5, 4}, {7, 8}, {0, 0}, {2, 2}, {640, 640}, {481, 480}};
  for (const auto& c : cases) EXPECT_EQ(MirrorSide(c[0]), c[1]) << c[0];
}

TEST(AudioDeviceFromListing, TakesTheAlternativeNameOfTheFirstAudioDevice) {
  const wchar_t* older =
      L"[dshow @ 0] DirectShow video devices (some may be both video and audio devices)\r\n"
      L"[dshow @ 0]  \"Camera\"\r\n"
      L"[dshow @ 0]     Alternative name \"@device_pnp_cam\"\r\n"
      L"[dshow @ 0] DirectShow audio devices\r\n"
      L"[dshow @ 0]  \"Microphone (USB)\"\r\n"
      L"[dshow @ 0]     Alternative name \"@device_cm_{33D9}\\wave_{A1}\"\r\n"
      L"[dshow @ 0]  \"Line In\"\r\n"
      L"[dshow @ 0]     Alternative name \"@device_cm_{33D9}\\wave_{B2}\"\r\n";
  EXPECT_EQ(AudioDeviceFromListing(older), L"@device_cm_{33D9}\\wave_{A1}");
  const wchar_t* newer =
      L"[dshow @ 0] \"Camera\" (video)\r\n"
      L"[dshow @ 0]   Alternative name \"@device_pnp_cam\"\r\n"
      L"[dshow @ 0] \"Mic \\\"Pro\\\"\" (audio)\r\n"
      L"[dshow @ 0]   Alternative name \"@device_cm_{X}\\wave_\\\"q\\\"\"\r\n";
  EXPECT_EQ(AudioDeviceFromListing(newer), L"@device_cm_{X}\\wave_\\\"q\\\"");  // an escaped quote does not end it
  // No audio device: the video device's name before the marker is not taken.
  EXPECT_EQ(AudioDeviceFromListing(L"[dshow] DirectShow video devices\r\n Alternative name \"@cam\"\r\n"
                                   L"[dshow] DirectShow audio devices\r\n Could not enumerate audio only devices\r\n"),
            L"");
  EXPECT_EQ(AudioDeviceFromListing(L""), L"");
  EXPECT_EQ(AudioDeviceFromListing(L"unexpected text \"x\""), L"");
}

TEST(RecTimeFromLine, TakesWhatStandsBetweenTimeAndTheNextSpace) {
  EXPECT_EQ(RecTimeFromLine(L"frame=  12 fps= 30 q=-1.0 size=  48kB time=00:01:02.50 bitrate=412.3kbits/s"),
            L"00:01:02.50");
  EXPECT_EQ(RecTimeFromLine(L"TIME=not-a-time x"), L"not-a-time");
  EXPECT_EQ(RecTimeFromLine(L"time=00:00:01.00"), L"");  // no space after it
  EXPECT_EQ(RecTimeFromLine(L"Press [q] to stop, [?] for help"), L"");
}

TEST(FramesFromLine, ReadsTheCountAfterItsPadding) {
  const struct {
    const wchar_t* Line;
    int Frames;
  } cases[] = {
      {L"frame=   12 fps=0.0 q=-1.0 size=       0kB time=00:00:00.36 bitrate=   0.0kbits/s speed=N/A", 12},
      // What ffmpeg ends with when "q" came before the first frame.
      {L"frame=    0 fps=0.0 q=0.0 Lsize=       0kB time=00:00:00.00 bitrate=N/A speed=N/A", 0},
      {L"frame=1234567", 1234567},
      {L"frame=", -1},
      {L"frame=  N/A", -1},
      {L"Press [q] to stop, [?] for help", -1},
      {L"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FramesFromLine(c.Line), c.Frames) << c.Line;
  // A count too long for an int is still a count of frames.
  EXPECT_GT(FramesFromLine(L"frame=99999999999999999999 fps=30"), 0);
}

}  // namespace
