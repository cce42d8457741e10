// The update question in-process: what another process cannot read of it under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "service/Update.h"
#include "ui/MsgBox.h"

namespace {

// Runs `inspect` on the question once it shows, then answers it with `answer`.
bool AskAndInspect(const std::wstring& reply, const TUpdateCall& call, const std::function<void(HWND)>& inspect,
                   int answer) {
  static const std::function<void(HWND)>* gInspect;
  static int gAnswer;
  gInspect = &inspect;
  gAnswer = answer;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"TMessageForm", nullptr);
    if (!dialog || !IsWindowVisible(dialog) || !gInspect) return;
    (*gInspect)(dialog);
    gInspect = nullptr;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(gAnswer, BN_CLICKED), 0);
  });
  const bool result = UpdateDialog(reply, call);
  KillTimer(nullptr, timer);
  return result;
}

TEST(UpdateDialog, StartedHiddenOnTopQuestionHasItsOwnIconAndNoOwner) {
  HWND app = CreateWindowExW(0, L"STATIC", L"app", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetApplicationWindow(app);
  TUpdateCall call;
  call.StartedHidden = true;
  bool inspected = false;
  const wchar_t* onTop = LR"({"update":"http://u","info":{"style":"line","flag":"stayontop"}})";
  EXPECT_TRUE(AskAndInspect(onTop, call,
                            [&](HWND d) {
                              inspected = true;
                              EXPECT_NE(SendMessageW(d, WM_GETICON, ICON_SMALL, 0), 0);
                              EXPECT_EQ(GetWindow(d, GW_OWNER), nullptr);
                              EXPECT_TRUE(GetWindowLongW(d, GWL_EXSTYLE) & WS_EX_TOPMOST);
                            },
                            IDYES));
  EXPECT_TRUE(inspected);

  // Shown normally, the same question is owned by the application's window and has no icon.
  call.StartedHidden = false;
  inspected = false;
  EXPECT_FALSE(AskAndInspect(onTop, call,
                             [&](HWND d) {
                               inspected = true;
                               EXPECT_EQ(SendMessageW(d, WM_GETICON, ICON_SMALL, 0), 0);
                               EXPECT_EQ(GetWindow(d, GW_OWNER), app);
                             },
                             IDNO));
  EXPECT_TRUE(inspected);
  // Started hidden without "stayontop": owned as usual.
  call.StartedHidden = true;
  EXPECT_FALSE(AskAndInspect(LR"({"update":"http://u"})", call,
                             [&](HWND d) { EXPECT_EQ(GetWindow(d, GW_OWNER), app); }, IDCANCEL));
  SetApplicationWindow(nullptr);
  DestroyWindow(app);
}

}  // namespace
