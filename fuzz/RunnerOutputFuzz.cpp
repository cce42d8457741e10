// A console program's output as the runner reads it: the same bytes cut into chunks at
// places the fuzzer picks must give the same lines as one chunk, and the end-of-output
// marker must be found wherever the reads split it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/RunnerText.h"

namespace {

class TCollect : public IRunnerEvents {
 public:
  std::wstring Chars;
  std::vector<std::wstring> Lines;
  bool StopRequested() override { return false; }
  void NewChar(wchar_t c) override { Chars.push_back(c); }
  void LinesAdd(const std::wstring& line) override { Lines.push_back(line); }
  void NewLine(const std::wstring&, TOutputType) override {}
  void NewOutput() override {}
  void ReplaceLastOutput(const std::wstring&) override {}
  void AppendOutput(const std::wstring&) override {}
};

}  // namespace

// Input: one byte of cut places (a bit per 1/8th), then the text (bytes as characters).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t cuts = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::wstring text(bytes.begin(), bytes.end());

  TCollect whole, pieces;
  TScanState a, b;
  ScanOutput(text, a, whole);
  FinishOutput(a, whole);
  size_t from = 0;
  for (int k = 1; k <= 8; ++k) {
    const size_t to = k == 8 ? text.size() : text.size() * k / 8;
    if (k < 8 && !(cuts & (1u << (k - 1)))) continue;
    ScanOutput(std::wstring_view(text).substr(from, to - from), b, pieces);
    from = to;
  }
  FinishOutput(b, pieces);
  if (whole.Chars != text || pieces.Chars != text) std::abort();
  if (whole.Lines != pieces.Lines) std::abort();

  // The marker is the text's last few bytes or a fixed word; what comes before it is kept.
  const std::string marker = bytes.size() > 4 && (cuts & 1) ? bytes.substr(bytes.size() - 4) : "@@END";
  TMarkerCut cut(marker);
  std::string kept;
  bool found = false;
  for (size_t at = 0; at < bytes.size(); at += 1 + cuts % 7) {
    bool f = false;
    kept += cut.Feed(std::string_view(bytes).substr(at, 1 + cuts % 7), f);
    found = found || f;
  }
  const size_t where = bytes.find(marker);
  if (found != (where != std::string::npos)) std::abort();
  if (found ? kept != bytes.substr(0, where) : bytes.compare(0, kept.size(), kept) != 0) std::abort();
  return 0;
}
