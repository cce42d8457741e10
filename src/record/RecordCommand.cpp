#include "record/RecordCommand.h"

#include "base/Strings.h"
#include "base/Text.h"

namespace {
const wchar_t* const kTimeLimits[5] = {L"", L"-t 1800", L"-t 3600", L"-t 7200", L"-t 14400"};
}  // namespace

std::wstring RecordArguments(const TRecordParams& p) {
  // Everything that tells gdigrab how to grab stands before its "-i": after it ffmpeg takes
  // the options for the output's and ignores them without a word.
  std::wstring input;
  if (p.Region) {
    input = L"-draw_mouse 0 -i title=\"Virtual_Screen\"";
  } else {
    input = FormatW(L"-offset_x %d -offset_y %d -video_size %dx%d", p.Monitor.Left, p.Monitor.Top, p.Monitor.Width(),
                    p.Monitor.Height());
    if (!p.Mouse) input += L" -draw_mouse 0";
    input += L" -i desktop";
  }
  const std::wstring videoF = L"-f gdigrab -framerate 30 " + input;
  const std::wstring videoC = L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p";
  std::wstring audioF, audioC;
  if (!p.Driver.empty()) {
    audioF = L"-f dshow -i audio=\"" + p.Driver + L"\"";
    audioC = L"-c:a aac -ac 2 -b:a 128k";
  }
  // Missing pieces leave their surrounding spaces behind: the encoder does not mind.
  return L"-rtbufsize 150M " + audioF + L" " + videoF + L" " + audioC + L" " + videoC + L" " + p.TimeLimit +
         L" -vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" -y \"" + p.Output + L"\"";
}

std::wstring RecordCommandLine(const TRecordParams& p) { return L"\"" + p.FFMpeg + L"\" " + RecordArguments(p); }

std::wstring DeviceListCommandLine(const std::wstring& ffmpeg) {
  return L"\"" + ffmpeg + L"\" -list_devices true -f dshow -i dummy";
}

std::wstring TimeLimitPiece(const bool checked[5]) {
  std::wstring piece;
  for (int i = 0; i < 5; ++i)
    if (checked[i]) piece = kTimeLimits[i];
  return piece;
}

int MirrorSide(int n) {
  // n / 2 with its half going to the even neighbour, in integers.
  int q = n / 2;        // truncates toward zero
  const int r = n % 2;  // -1, 0 or 1
  if (r == 1 && (q & 1)) ++q;
  if (r == -1 && (q & 1)) --q;
  return 2 * q;
}

std::wstring AudioDeviceFromListing(std::wstring_view listing) {
  const std::wstring_view marker = listing.find(L"DirectShow audio devices") != std::wstring_view::npos
                                       ? L"DirectShow audio devices"
                                       : L"(audio)";
  const std::wstring audio = TextBetween(listing, marker, L"");
  return TextBetween(audio, L"Alternative name \"", L"\"");
}

std::wstring RecTimeFromLine(std::wstring_view line) { return TextBetween(line, L"time=", L" "); }

int FramesFromLine(std::wstring_view line) {
  const size_t at = line.find(L"frame=");
  if (at == std::wstring_view::npos) return -1;
  size_t i = at + 6;
  while (i < line.size() && line[i] == L' ') ++i;
  int frames = -1;
  for (; i < line.size() && line[i] >= L'0' && line[i] <= L'9'; ++i) {
    if (frames > 100000000) return frames;  // enough to know there were frames
    frames = (frames < 0 ? 0 : frames * 10) + (line[i] - L'0');
  }
  return frames;
}
