// The console runner's text handling, free of any platform call: the locked output buffer,
// the scanner that cuts a child's output into characters, lines and line fragments, the
// marked input lines and their echo, the end-of-output marker cut, the environment block.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// How a delivered piece of output ends.
enum TOutputType { otEntireLine, otBeginningOfLine };

// How a run ended; the numbers are those the component publishes.
enum TEndStatus : int { esStop = 0, esProcess, esStill_Active, esNone, esError, esTime };

// A growing text buffer shared by the output reader (appends) and the worker (takes).
class TSyncString {
 public:
  void Add(std::wstring_view value);
  // Removes `count` characters from the 1-based position `pos` (clipped to the text).
  void Delete(size_t pos, size_t count);
  std::wstring Value() const;
  void SetValue(std::wstring value);
  size_t Length() const;

 private:
  mutable std::mutex FLock;
  std::wstring FValue;
};

// What the scanner and the input writer keep between the chunks of one run.
struct TScanState {
  std::wstring CurrentLine;
  std::wstring PendingFragment;  // text after the last line end, as the last chunk left it
  bool Fragment = false;         // a chunk ended inside a line (cleared only by an echo)
  bool AfterCR = false;          // the last character that counted was a carriage return
};

// Where the scanner's and the input writer's events go (the runner's worker).
class IRunnerEvents {
 public:
  virtual ~IRunnerEvents() = default;
  virtual bool StopRequested() = 0;
  virtual void NewChar(wchar_t c) = 0;
  virtual void LinesAdd(const std::wstring& line) = 0;
  virtual void NewLine(const std::wstring& line, TOutputType type) = 0;
  virtual void NewOutput() = 0;  // a line was completed
  // Echo of sent input into the output list.
  virtual void ReplaceLastOutput(const std::wstring& text) = 0;
  virtual void AppendOutput(const std::wstring& text) = 0;
};

// One chunk of decoded output. Line ends are CR, LF, or CR LF (also split over two chunks);
// NUL is reported as a character and otherwise ignored.
void ScanOutput(std::wstring_view chunk, TScanState& state, IRunnerEvents& events);
// At the end of a run: text after the last line end becomes a completed line.
void FinishOutput(TScanState& state, IRunnerEvents& events);

// Input queue entries carry a marker: "_" adds CR LF when written, " " writes the text as is.
std::wstring MarkInput(std::wstring_view value, bool eol);
std::wstring InputText(std::wstring_view marked);
// After `sent` was written to the child, with echo on.
void EchoInput(const std::wstring& sent, bool hasOutputList, TScanState& state, IRunnerEvents& events);

// Cuts a stream of bytes at a marker that the program itself wrote behind the child's last
// output: everything before the marker is handed on, the marker and anything after it not.
class TMarkerCut {
 public:
  explicit TMarkerCut(std::string marker) : FMarker(std::move(marker)) {}
  // The bytes that can be handed on now; `found` turns true once the marker has arrived.
  std::string Feed(std::string_view chunk, bool& found);

 private:
  std::string FMarker;
  std::string FHeld;  // a tail that may be the start of the marker
  bool FFound = false;
};

// An environment block: `current` ("NAME=value" each) with `extra` added; an extra entry
// replaces a variable of the same name (names compare without ASCII case). Every entry
// ends with a NUL and the block with one more.
std::wstring BuildEnvironmentBlock(const std::vector<std::wstring>& current, const std::vector<std::wstring>& extra);
