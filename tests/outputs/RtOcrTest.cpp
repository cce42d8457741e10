// The recogniser's checks, messages and completion order, driven through a test engine.
#include "outputs/RtOcr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "OcrTestSupport.h"
#include "ui/Thread.h"

using namespace rtocr;
using namespace ocrtest;

namespace {

// One recognition of the test engine: it ends when the test says, on a thread of its own.
class TTestOperation : public TOcrOperation {
 public:
  void SetCompleted(THandler handler) override {
    std::lock_guard<std::mutex> g(FLock);
    FHandler = std::move(handler);
  }
  void Cancel() override {
    ++Cancels;
    if (HonoursCancel) Finish(kAsyncCanceled);
  }
  void Close() override { ++Closes; }

  // Finishes on another thread and waits until the handler has returned there.
  void Finish(int asyncStatus) {
    THandler handler;
    {
      std::lock_guard<std::mutex> g(FLock);
      handler = FHandler;
    }
    std::thread([&] {
      Returned = handler(asyncStatus, [this](TResult& r) {
        ++Reads;
        r.Text = Output.Text;
        r.TextAngle = Output.TextAngle;
        r.Lines = Output.Lines;
        if (ReadFails) throw EOleSysError(static_cast<HRESULT>(0x8000FFFF));  // halfway through
      });
    }).join();
  }

  TResult Output;  // what the engine recognised
  bool HonoursCancel = true;
  bool ReadFails = false;
  std::atomic<int> Cancels{0}, Closes{0}, Reads{0};
  int32_t Returned = 12345;

 private:
  std::mutex FLock;
  THandler FHandler;
};

// Its rows lie after a header and are padded, as an engine may lay them out.
class TTestBitmap : public TOcrBitmap {
 public:
  static constexpr int kStart = 12, kPadding = 8;
  TTestBitmap(int w, int h) : Width(w), Height(h), Bytes(kStart + static_cast<size_t>(w * 4 + kPadding) * h, 0xCD) {}
  void Write(const std::function<void(const TOcrPlane&)>& fill) override {
    fill(TOcrPlane{Bytes.data(), Bytes.size(), kStart, Width, Height, Width * 4 + kPadding});
  }
  // The rows without the gaps.
  std::vector<uint8_t> Pixels() const {
    std::vector<uint8_t> v;
    for (int y = 0; y < Height; ++y) {
      auto row = Bytes.begin() + kStart + y * (Width * 4 + kPadding);
      v.insert(v.end(), row, row + Width * 4);
    }
    return v;
  }
  int Width, Height;
  std::vector<uint8_t> Bytes;
};

class TTestEngine : public TOcrEngine {
 public:
  std::vector<TEngineLanguage> Languages() override {
    std::vector<TEngineLanguage> r;
    for (const TLanguage& l : Names) r.push_back({l, nullptr});
    return r;
  }
  uint32_t MaxImageDimension() override { return Max; }
  std::unique_ptr<TOcrRecognizer> CreateRecognizer(const TEngineLanguage& language) override {
    struct TRecognizer : TOcrRecognizer {
      TTestEngine* Engine;
      std::wstring Tag;
      std::shared_ptr<TOcrOperation> RecognizeAsync(const std::shared_ptr<TOcrBitmap>& bitmap) override {
        Engine->Tags.push_back(Tag);
        Engine->Ops.push_back(std::make_shared<TTestOperation>());
        return Engine->Ops.back();
      }
    };
    auto r = std::make_unique<TRecognizer>();
    r->Engine = this;
    r->Tag = language.Names.LanguageTag;
    return r;
  }
  std::shared_ptr<TOcrBitmap> CreateBitmap(int width, int height) override {
    if (width <= 0 || height <= 0) throw EOleSysError(E_INVALIDARG);
    Bitmaps.push_back(std::make_shared<TTestBitmap>(width, height));
    return Bitmaps.back();
  }

  TLanguages Names = {{L"English", L"en-US", L"English", L"Latn"}, {L"Korean", L"ko", L"한국어", L"Kore"}};
  uint32_t Max = 4096;
  std::vector<std::wstring> Tags;
  std::vector<std::shared_ptr<TTestOperation>> Ops;
  std::vector<std::shared_ptr<TTestBitmap>> Bitmaps;
};

// Every call of OnCompleted as it arrived.
struct TEvent {
  TRtOcr* Sender;
  TResult Result;
  void* CustomData;
  DWORD Thread;
};

class RtOcr : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    Engine = std::make_shared<TTestEngine>();
    Ocr = std::make_unique<TRtOcr>(Engine);
    Ocr->SetPicture(*PatternPicture(6, 4));
    Ocr->OnCompleted = [this](TRtOcr& sender, const TResult& result, void* data) {
      Events.push_back({&sender, result, data, GetCurrentThreadId()});
      if (OnEvent) OnEvent();
    };
  }
  void TearDown() override {
    Ocr.reset();
    ShutdownMainThread();
  }
  // The message of the error that Recognize raises, or "" when it starts.
  template <typename E = ERtOcrError>
  std::wstring RecognizeError(const TLanguage& lang, int l = 0, int t = 0, int r = 0, int b = 0) {
    try {
      Ocr->Recognize(lang, nullptr, l, t, r, b);
    } catch (const E& e) {
      return e.Message();
    }
    return L"";
  }

  std::shared_ptr<TTestEngine> Engine;
  std::unique_ptr<TRtOcr> Ocr;
  std::vector<TEvent> Events;
  std::function<void()> OnEvent;
};

TEST_F(RtOcr, ChecksComeInOrderAndStartNothing) {
  const TLanguage english = Engine->Names[0];
  const TLanguage unknown = {L"English", L"en-US", L"English", L"latn"};  // differs in case only
  EXPECT_EQ(RecognizeError(unknown), L"Language not available");
  EXPECT_EQ(RecognizeError(unknown, -1, -1, 99, 99), L"Language not available");  // the language first
  EXPECT_EQ(RecognizeError(english, -1, -1, 99, 99), L"Incorrect Left value");
  EXPECT_EQ(RecognizeError(english, 0, 0, 6, 5), L"Incorrect Bottom value");
  // An inverted region passes the checks and is refused where the engine's bitmap is made.
  EXPECT_NE(RecognizeError<EOleSysError>(english, 4, 0, 2, 3), L"");
  TBitmap empty;
  Ocr->SetPicture(empty);
  EXPECT_EQ(RecognizeError(english), L"Incorrect Right value");
  EXPECT_TRUE(Engine->Bitmaps.empty());
  EXPECT_TRUE(Engine->Ops.empty());
  EXPECT_FALSE(Ocr->Running());

  Ocr->SetPicture(*PatternPicture(6, 4));
  Ocr->Recognize(english, nullptr);
  ASSERT_EQ(Engine->Ops.size(), 1u);
  EXPECT_TRUE(Ocr->Running());
  // While it runs, nothing else is even looked at.
  EXPECT_EQ(RecognizeError(unknown, -1, -1, 0, 0), L"Recognition already started");
  EXPECT_EQ(RecognizeError(english), L"Recognition already started");
  EXPECT_EQ(Engine->Ops.size(), 1u);
  Engine->Ops[0]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return !Events.empty(); }));
  EXPECT_EQ(RecognizeError(english), L"");
}

TEST_F(RtOcr, HandsTheRegionToTheEngineAsOpaque32BitRows) {
  // A 24-bit picture goes through a 32-bit copy.
  Ocr->SetPicture(*PatternPicture(5, 3, 24));
  Ocr->Recognize(Engine->Names[1], nullptr, 1, 0, 4, 2);
  ASSERT_EQ(Engine->Bitmaps.size(), 1u);
  EXPECT_EQ(Engine->Bitmaps[0]->Width, 3);
  EXPECT_EQ(Engine->Bitmaps[0]->Height, 2);
  EXPECT_EQ(Engine->Bitmaps[0]->Pixels(), PatternRegion(1, 0, 4, 2));
  EXPECT_EQ(Engine->Tags, std::vector<std::wstring>{L"ko"});
  Engine->Ops[0]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return !Ocr->Running(); }));

  // A 32-bit picture as held, the whole of it for 0, 0, 0, 0 and for 0, 0, width, height.
  Ocr->SetPicture(*PatternPicture(6, 4));
  for (int r : {0, 6}) {
    Ocr->Recognize(Engine->Names[0], nullptr, 0, 0, r, r ? 4 : 0);
    EXPECT_EQ(Engine->Bitmaps.back()->Pixels(), PatternRegion(0, 0, 6, 4));
    Engine->Ops.back()->Finish(kAsyncCompleted);
    ASSERT_TRUE(PumpUntil([&] { return !Ocr->Running(); }));
  }
}

TEST_F(RtOcr, CompletionFromAnotherThreadArrivesOnThisThreadWithTheWholeResult) {
  int data = 0;
  Ocr->Recognize(Engine->Names[0], &data);
  TTestOperation& op = *Engine->Ops[0];
  op.Output.Text = L"Hello world Second";
  op.Output.TextAngle = -2.5;
  op.Output.Lines = {{L"Hello world", {{L"Hello", {1, 2, 30, 12}}, {L"world", {35, 2, 28, 12}}}},
                     {L"Second", {{L"Second", {1, 20, 40, 12}}}}};
  // Recognising again from within the event is accepted: the state is idle by then.
  OnEvent = [&] {
    if (Events.size() == 1) Ocr->Recognize(Engine->Names[1], nullptr);
  };
  op.Finish(kAsyncCompleted);
  EXPECT_EQ(op.Returned, S_OK);
  EXPECT_TRUE(Events.empty());  // not on the engine's thread
  ASSERT_TRUE(PumpUntil([&] { return !Events.empty(); }));
  const TEvent& e = Events[0];
  EXPECT_EQ(e.Thread, GetCurrentThreadId());
  EXPECT_EQ(e.Sender, Ocr.get());
  EXPECT_EQ(e.CustomData, &data);
  EXPECT_EQ(e.Result.Status, stCompleted);
  EXPECT_EQ(e.Result.Text, L"Hello world Second");
  EXPECT_EQ(e.Result.TextAngle, -2.5);
  ASSERT_EQ(e.Result.Lines.size(), 2u);
  EXPECT_EQ(e.Result.Lines[0].Text, L"Hello world");
  ASSERT_EQ(e.Result.Lines[0].Words.size(), 2u);
  EXPECT_EQ(e.Result.Lines[0].Words[1].Text, L"world");
  EXPECT_EQ(e.Result.Lines[0].Words[1].Rect.X, 35.0f);
  EXPECT_EQ(e.Result.Lines[0].Words[1].Rect.Width, 28.0f);
  EXPECT_EQ(e.Result.Lines[1].Words[0].Rect.Y, 20.0f);

  ASSERT_EQ(Engine->Ops.size(), 2u);
  EXPECT_TRUE(Ocr->Running());
  Engine->Ops[1]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return Events.size() == 2; }));
  EXPECT_TRUE(Events[1].Result.Lines.empty());  // a picture without text
  EXPECT_EQ(Events[1].Result.Text, L"");
  EXPECT_EQ(Events[1].Result.Status, stCompleted);
}

TEST_F(RtOcr, TheCompletionProcedureTakesThePlaceOfTheEvent) {
  std::vector<TResult> got;
  Ocr->Recognize(Engine->Names[0], [&](const TResult& r) { got.push_back(r); });
  Engine->Ops[0]->Output.Lines = {{L"only", {}}};
  Engine->Ops[0]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
  EXPECT_EQ(got[0].Lines.size(), 1u);
  ProcessMessages();
  EXPECT_TRUE(Events.empty());
}

TEST_F(RtOcr, UnsuccessfulEndsCarryNothingButTheirStatus) {
  Ocr->Cancel();  // idle: nothing to cancel
  struct {
    int Async;
    TStatus Status;
  } cases[] = {{kAsyncCanceled, stCanceled}, {3, stError}, {0, stError}};
  for (const auto& c : cases) {
    Ocr->Recognize(Engine->Names[0], nullptr);
    TTestOperation& op = *Engine->Ops.back();
    op.Output.Text = L"never read";
    op.Output.Lines = {{L"never read", {}}};
    op.Output.TextAngle = 3;
    if (c.Async == kAsyncCanceled) Ocr->Cancel();  // the engine honours it with this status
    else op.Finish(c.Async);
    ASSERT_TRUE(PumpUntil([&] { return !Ocr->Running(); })) << c.Async;
    const TResult& r = Events.back().Result;
    EXPECT_EQ(r.Status, c.Status) << c.Async;
    EXPECT_TRUE(r.Lines.empty());
    EXPECT_EQ(r.Text, L"");
    EXPECT_EQ(r.TextAngle, 0);
    EXPECT_EQ(op.Reads, 0);
  }
  EXPECT_EQ(Engine->Ops[0]->Cancels, 1);
  EXPECT_EQ(Events.size(), 3u);
}

TEST_F(RtOcr, AFailedResultReadEndsAsAnErrorAndGoesBackToTheEngine) {
  int data = 0;
  Ocr->Recognize(Engine->Names[0], &data);
  Engine->Ops[0]->ReadFails = true;
  Engine->Ops[0]->Output.Lines = {{L"half read", {}}};
  Engine->Ops[0]->Finish(kAsyncCompleted);
  EXPECT_EQ(static_cast<uint32_t>(Engine->Ops[0]->Returned), 0x8000FFFFu);
  ASSERT_TRUE(PumpUntil([&] { return Events.size() == 1; }));
  EXPECT_FALSE(Ocr->Running());
  EXPECT_EQ(Events[0].Result.Status, stError);
  EXPECT_EQ(Events[0].CustomData, &data);
  EXPECT_TRUE(Events[0].Result.Lines.empty());
  // The completion procedure hears of it as well.
  std::vector<TResult> got;
  Ocr->Recognize(Engine->Names[0], [&](const TResult& r) { got.push_back(r); });
  Engine->Ops[1]->ReadFails = true;
  Engine->Ops[1]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));
  EXPECT_EQ(got[0].Status, stError);
  // Errors raised by the receiver stay inside the completion.
  OnEvent = [] { throw EError(L"receiver failed"); };
  Ocr->Recognize(Engine->Names[0], nullptr);
  Engine->Ops[2]->Finish(kAsyncCompleted);
  ASSERT_TRUE(PumpUntil([&] { return Events.size() == 2; }));
  EXPECT_FALSE(Ocr->Running());
  EXPECT_EQ(Engine->Ops[2]->Returned, S_OK);
}

TEST_F(RtOcr, DestroyingWhileRunningClosesTheOperationAndLateCompletionsTouchNothing) {
  // One engine stops at once when cancelled, the other finishes later anyway.
  for (bool honours : {true, false}) {
    Ocr = std::make_unique<TRtOcr>(Engine);
    Ocr->SetPicture(*PatternPicture(6, 4));
    Ocr->OnCompleted = [this](TRtOcr&, const TResult& r, void*) { Events.push_back({nullptr, r, nullptr, 0}); };
    Ocr->Recognize(Engine->Names[0], nullptr);
    std::shared_ptr<TTestOperation> op = Engine->Ops.back();
    op->HonoursCancel = honours;
    Ocr.reset();
    EXPECT_EQ(op->Cancels, 1);
    EXPECT_EQ(op->Closes, 1);
    if (!honours) op->Finish(kAsyncCompleted);
    EXPECT_EQ(op->Returned, S_OK);
    for (int i = 0; i < 5; ++i) {
      Sleep(10);
      ProcessMessages();
    }
  }
  EXPECT_TRUE(Events.empty());
}

TEST_F(RtOcr, LanguagesAndLargestSizeAreReadFromTheEngineOnEveryRead) {
  EXPECT_EQ(Ocr->AvailableLanguages(), Engine->Names);
  EXPECT_EQ(Ocr->MaxImageDimension(), 4096);
  Engine->Names.pop_back();
  Engine->Max = 10000;
  EXPECT_EQ(Ocr->AvailableLanguages(), Engine->Names);
  EXPECT_EQ(Ocr->MaxImageDimension(), 10000);
  // The picture is the component's own copy.
  auto picture = PatternPicture(3, 2);
  Ocr->SetPicture(*picture);
  picture->Row(0)[0] = 77;
  EXPECT_EQ(Ocr->Picture().Row(0)[0], 0);
  EXPECT_EQ(Ocr->Picture().Width(), 3);
}

}  // namespace
