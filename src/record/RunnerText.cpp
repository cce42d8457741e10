#include "record/RunnerText.h"

#include <algorithm>

#include "base/Text.h"

void TSyncString::Add(std::wstring_view value) {
  std::lock_guard<std::mutex> g(FLock);
  FValue.append(value);
}

void TSyncString::Delete(size_t pos, size_t count) {
  std::lock_guard<std::mutex> g(FLock);
  if (pos < 1 || pos > FValue.size()) return;
  FValue.erase(pos - 1, count);
}

std::wstring TSyncString::Value() const {
  std::lock_guard<std::mutex> g(FLock);
  return FValue;
}

void TSyncString::SetValue(std::wstring value) {
  std::lock_guard<std::mutex> g(FLock);
  FValue = std::move(value);
}

size_t TSyncString::Length() const {
  std::lock_guard<std::mutex> g(FLock);
  return FValue.size();
}

void ScanOutput(std::wstring_view chunk, TScanState& state, IRunnerEvents& events) {
  if (chunk.empty()) return;
  state.CurrentLine = state.PendingFragment;
  for (const wchar_t c : chunk) {
    if (events.StopRequested()) return;  // the rest of the chunk is dropped
    events.NewChar(c);
    if (c == L'\0') continue;
    const bool lineEnd = c == L'\r' || (c == L'\n' && !state.AfterCR);
    const bool joinedLf = c == L'\n' && state.AfterCR;
    state.AfterCR = c == L'\r';
    if (joinedLf) continue;
    if (lineEnd) {
      events.NewOutput();
      events.LinesAdd(state.CurrentLine);
      events.NewLine(state.CurrentLine, otEntireLine);
      state.CurrentLine.clear();
    } else {
      state.CurrentLine.push_back(c);
    }
  }
  state.PendingFragment = state.CurrentLine;
  if (!state.PendingFragment.empty()) {
    events.NewLine(state.PendingFragment, otBeginningOfLine);
    state.Fragment = true;
  }
}

void FinishOutput(TScanState& state, IRunnerEvents& events) {
  if (state.PendingFragment.empty()) return;
  const std::wstring line = std::move(state.PendingFragment);
  state.PendingFragment.clear();
  events.LinesAdd(line);
  events.NewLine(line, otEntireLine);
}

std::wstring MarkInput(std::wstring_view value, bool eol) {
  return (eol ? L"_" : L" ") + std::wstring(value);
}

std::wstring InputText(std::wstring_view marked) {
  if (marked.empty()) return std::wstring();
  std::wstring text(marked);
  if (text[0] == L'_') text += L"\r\n";
  return text.substr(1);
}

void EchoInput(const std::wstring& sent, bool hasOutputList, TScanState& state, IRunnerEvents& events) {
  if (hasOutputList && state.Fragment) {
    // The child's output ended inside a line (a prompt): the typed text completes it.
    state.PendingFragment += sent;
    events.ReplaceLastOutput(state.PendingFragment);
    state.Fragment = false;
  } else if (hasOutputList) {
    events.AppendOutput(sent);
  }
  events.NewLine(state.PendingFragment, otEntireLine);
  state.PendingFragment.clear();
}

std::string TMarkerCut::Feed(std::string_view chunk, bool& found) {
  if (FFound) {
    found = true;
    return std::string();
  }
  FHeld.append(chunk);
  const size_t at = FHeld.find(FMarker);
  if (at != std::string::npos) {
    FFound = found = true;
    std::string out = FHeld.substr(0, at);
    FHeld.clear();
    return out;
  }
  found = false;
  // Keep back the longest tail that could still grow into the marker.
  size_t keep = std::min(FHeld.size(), FMarker.size() - 1);
  while (keep > 0 && FHeld.compare(FHeld.size() - keep, keep, FMarker, 0, keep) != 0) --keep;
  std::string out = FHeld.substr(0, FHeld.size() - keep);
  FHeld.erase(0, FHeld.size() - keep);
  return out;
}

namespace {
std::wstring VariableName(const std::wstring& entry) {
  // Names may begin with "=" (the per-drive folders), so the separator is searched after it.
  const size_t eq = entry.find(L'=', 1);
  return AsciiUpper(entry.substr(0, eq));
}
}  // namespace

std::wstring BuildEnvironmentBlock(const std::vector<std::wstring>& current, const std::vector<std::wstring>& extra) {
  std::vector<std::wstring> replaced;
  for (const auto& e : extra) replaced.push_back(VariableName(e));
  std::wstring block;
  for (const auto& v : current) {
    if (v.empty() || std::find(replaced.begin(), replaced.end(), VariableName(v)) != replaced.end()) continue;
    block += v;
    block.push_back(L'\0');
  }
  for (const auto& e : extra) {
    block += e;
    block.push_back(L'\0');
  }
  if (block.empty()) block.push_back(L'\0');  // an empty block still needs its two NULs
  block.push_back(L'\0');
  return block;
}
