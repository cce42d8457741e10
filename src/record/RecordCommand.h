// The encoder's command lines and the reading of its output, free of any platform call.
#pragma once
#include <string>
#include <string_view>

#include "base/Types.h"

struct TRecordParams {
  std::wstring FFMpeg;  // full path of the encoder
  std::wstring Output;  // the MP4 file to write
  bool Region = false;  // grab the mirror window instead of the desktop
  TRect Monitor{};      // the desktop part of a full-screen recording
  bool Mouse = true;    // full screen: the encoder draws the pointer
  std::wstring TimeLimit;  // "-t 1800" or empty
  std::wstring Driver;     // audio capture device; empty: no sound
};

// The arguments after the quoted program path, and the whole command line.
std::wstring RecordArguments(const TRecordParams& p);
std::wstring RecordCommandLine(const TRecordParams& p);
// Lists the capture devices on the encoder's error stream.
std::wstring DeviceListCommandLine(const std::wstring& ffmpeg);

// The limit piece from the five limit check marks in menu order (0, 30, 60, 120, 240
// minutes): the last checked one wins, none checked means no limit.
std::wstring TimeLimitPiece(const bool checked[5]);

// A mirror side for a region side: twice the nearest integer to n / 2, halves to even.
int MirrorSide(int n);

// The first audio capture device in the encoder's device listing, or empty.
std::wstring AudioDeviceFromListing(std::wstring_view listing);
// The elapsed time a progress line reports ("time=" up to the next space), or empty.
std::wstring RecTimeFromLine(std::wstring_view line);
// The frame count a progress line reports ("frame=" and the number after its padding), or
// -1 when the line reports none.
int FramesFromLine(std::wstring_view line);
