// What the recording tests share, with the encoder's stand-in and with the real encoder:
// starting the program once its creation is over, the main window's recording state, and
// reading a log written in CR LF lines.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "e2e/Driver.h"

namespace e2e {

// The main window appears before its creation is over, and a request that arrives while
// the creation waits on another process would be undone by the rest of it. The mode
// change handler's "area" is the creation's last registry write: this starts the program
// in `folder` and returns once it has been written.
TVantoru StartCreated(const std::wstring& folder, const std::vector<std::wstring>& env = {});

// Card 2 with the mode list disabled (recording), or card 0 with it enabled.
bool Recording(const TVantoru& v);
bool OnOutputCard(const TVantoru& v);
// Back from a recording: card 0 and the time label reset.
bool RecordingIdle(const TVantoru& v);

// The lines of a file whose every line ends with CR LF; `whole` turns false when the text
// ends inside a line.
std::vector<std::string> CrLfLines(const std::wstring& path, bool& whole);

}  // namespace e2e
