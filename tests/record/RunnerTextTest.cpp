// The runner's text handling: cutting output into lines and fragments, input markers and
// echo, the end-of-output marker, the environment block.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "record/RunnerText.h"

namespace {

// Writes every event down as text, in order.
class TEventLog : public IRunnerEvents {
 public:
  size_t StopAfterChars = static_cast<size_t>(-1);
  std::vector<std::wstring> Events;
  std::wstring Chars;
  std::vector<std::wstring> Lines;
  int Outputs = 0;

  bool StopRequested() override { return Chars.size() >= StopAfterChars; }
  void NewChar(wchar_t c) override { Chars.push_back(c); }
  void LinesAdd(const std::wstring& line) override { Lines.push_back(line); }
  void NewLine(const std::wstring& line, TOutputType type) override {
    Events.push_back((type == otEntireLine ? L"line:" : L"frag:") + line);
  }
  void NewOutput() override { ++Outputs; }
  void ReplaceLastOutput(const std::wstring& text) override { Events.push_back(L"replace:" + text); }
  void AppendOutput(const std::wstring& text) override { Events.push_back(L"append:" + text); }
};

struct TScanCase {
  std::vector<std::wstring> Chunks;
  std::vector<std::wstring> Events;  // including the end of the run
  int Outputs;
};

std::wstring W(const char* s, size_t n) { return std::wstring(s, s + n); }

TEST(ScanOutput, CutsLinesAndFragmentsAcrossChunks) {
  const TScanCase cases[] = {
      {{L"a\r\nb\r\n"}, {L"line:a", L"line:b"}, 2},
      {{L"a\r", L"\nb\r\n"}, {L"line:a", L"line:b"}, 2},  // CR LF split between chunks
      {{L"a\rb\n"}, {L"line:a", L"line:b"}, 2},           // a lone CR ends a line
      {{L"\n\r"}, {L"line:", L"line:"}, 2},               // LF then CR: two empty lines
      {{L"a\r\r\n"}, {L"line:a", L"line:"}, 2},
      {{W("a\0b\r\n", 5)}, {L"line:ab"}, 1},              // NUL is not part of the line
      {{W("a\r\0\nb", 5)}, {L"line:a", L"frag:b", L"line:b"}, 1},
      {{L"ab", L"c"}, {L"frag:ab", L"frag:abc", L"line:abc"}, 0},
      {{L"Name> "}, {L"frag:Name> ", L"line:Name> "}, 0},  // a prompt is no completed line
      {{L"x", L"y\r", L"\n", L"z"}, {L"frag:x", L"line:xy", L"frag:z", L"line:z"}, 1},
  };
  for (const auto& c : cases) {
    TScanState state;
    TEventLog log;
    std::wstring all;
    for (const auto& chunk : c.Chunks) {
      ScanOutput(chunk, state, log);
      all += chunk;
    }
    FinishOutput(state, log);
    SCOPED_TRACE(testing::PrintToString(c.Events));
    EXPECT_EQ(log.Events, c.Events);
    EXPECT_EQ(log.Outputs, c.Outputs);
    EXPECT_EQ(log.Chars, all);  // every character is reported, line ends and NUL included
    std::vector<std::wstring> completed;
    for (const auto& e : log.Events)
      if (e.rfind(L"line:", 0) == 0) completed.push_back(e.substr(5));
    EXPECT_EQ(log.Lines, completed);
  }
}

TEST(ScanOutput, FragmentFlagStaysUntilAnEchoAndEmptyChunksChangeNothing) {
  TScanState state;
  TEventLog log;
  ScanOutput(L"ab", state, log);
  EXPECT_TRUE(state.Fragment);
  ScanOutput(L"c\r\n", state, log);  // completing the line does not clear it
  EXPECT_TRUE(state.Fragment);
  EXPECT_EQ(state.PendingFragment, L"");
  ScanOutput(L"", state, log);
  EXPECT_EQ(log.Events, (std::vector<std::wstring>{L"frag:ab", L"line:abc"}));
}

TEST(ScanOutput, AStopDropsTheRestAndKeepsThePendingFragment) {
  TScanState state;
  TEventLog log;
  ScanOutput(L"pro", state, log);
  log.StopAfterChars = 5;  // two more characters, then the stop counts
  ScanOutput(L"mpt\r\nnext", state, log);
  EXPECT_EQ(log.Chars, L"promp");
  EXPECT_EQ(state.PendingFragment, L"pro");
  EXPECT_TRUE(state.Fragment);
  EXPECT_EQ(log.Events, (std::vector<std::wstring>{L"frag:pro"}));
}

TEST(InputText, MarkersSayWhetherALineEndIsAdded) {
  EXPECT_EQ(MarkInput(L"q", false), L" q");
  EXPECT_EQ(MarkInput(L"q", true), L"_q");
  EXPECT_EQ(InputText(MarkInput(L"q", false)), L"q");
  EXPECT_EQ(InputText(MarkInput(L"q", true)), L"q\r\n");
  EXPECT_EQ(InputText(MarkInput(L"", false)), L"");  // nothing to write
  EXPECT_EQ(InputText(MarkInput(L"", true)), L"\r\n");
  EXPECT_EQ(InputText(L""), L"");
}

TEST(EchoInput, CompletesAPromptOrAppendsToTheOutputList) {
  {
    TScanState state;
    TEventLog log;
    ScanOutput(L"Name> ", state, log);
    EchoInput(L"bob\r\n", true, state, log);
    EXPECT_EQ(log.Events,
              (std::vector<std::wstring>{L"frag:Name> ", L"replace:Name> bob\r\n", L"line:Name> bob\r\n"}));
    EXPECT_FALSE(state.Fragment);
    EXPECT_EQ(state.PendingFragment, L"");
  }
  {
    TScanState state;
    TEventLog log;
    ScanOutput(L"done\r\n", state, log);
    EchoInput(L"bob", true, state, log);
    EXPECT_EQ(log.Events, (std::vector<std::wstring>{L"line:done", L"append:bob", L"line:"}));
  }
  {
    // Without an output list the prompt is delivered as it stands and the flag stays.
    TScanState state;
    TEventLog log;
    ScanOutput(L"Name> ", state, log);
    EchoInput(L"bob", false, state, log);
    EXPECT_EQ(log.Events, (std::vector<std::wstring>{L"frag:Name> ", L"line:Name> "}));
    EXPECT_TRUE(state.Fragment);
    EXPECT_EQ(state.PendingFragment, L"");
    FinishOutput(state, log);  // nothing pending any more
    EXPECT_EQ(log.Events.size(), 2u);
  }
}

TEST(TMarkerCut, HandsOnEverythingBeforeTheMarkerWhereverTheChunksSplit) {
  const std::string marker("\x01M\x00K\xfe", 5);
  const std::string data = std::string("out\r\nM\x01M", 8);  // holds look-alikes of the marker's start
  const std::string stream = data + marker + "after";
  for (size_t a = 0; a <= stream.size(); ++a)
    for (size_t b = a; b <= stream.size(); ++b) {
      TMarkerCut cut(marker);
      bool found = false;
      std::string out = cut.Feed(stream.substr(0, a), found);
      const bool early = found;
      out += cut.Feed(stream.substr(a, b - a), found);
      out += cut.Feed(stream.substr(b), found);
      ASSERT_TRUE(found) << a << " " << b;
      ASSERT_EQ(out, data) << a << " " << b;
      ASSERT_EQ(early, a >= data.size() + marker.size()) << a;
    }
}

TEST(BuildEnvironmentBlock, AddsEntriesAfterTheCurrentOnesAndReplacesSameNames) {
  const std::vector<std::wstring> current = {L"A=1", L"Path=C:\\bin", L"=C:=C:\\work"};
  const std::wstring block = BuildEnvironmentBlock(current, {L"PATH=D:\\tools", L"B=2"});
  EXPECT_EQ(block, std::wstring(L"A=1\0=C:=C:\\work\0PATH=D:\\tools\0B=2\0\0", 35));
  EXPECT_EQ(BuildEnvironmentBlock({}, {}), std::wstring(2, L'\0'));
}

TEST(TSyncString, TakingWhileAnotherThreadAppendsLosesNothing) {
  TSyncString s;
  constexpr int kCount = 20000;
  std::thread writer([&] {
    for (int i = 0; i < kCount; ++i) s.Add(i % 2 ? L"b" : L"a");
  });
  std::wstring taken;
  while (taken.size() < static_cast<size_t>(kCount)) {
    const std::wstring v = s.Value();
    s.Delete(1, v.size());  // what arrived meanwhile stays for the next round
    taken += v;
  }
  writer.join();
  EXPECT_EQ(taken.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(s.Length(), 0u);
  for (size_t i = 0; i < taken.size(); ++i) ASSERT_EQ(taken[i], i % 2 ? L'b' : L'a');
}

}  // namespace
