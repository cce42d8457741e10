#include "service/Update.h"

#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/AutoStart.h"
#include "base/Config.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "ui/MsgBox.h"
#include "ui/Thread.h"
#include "ui/Window.h"

namespace {

struct TInternetTraits {
  static HINTERNET Invalid() { return nullptr; }
  static void Close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using TInternet = TOwned<HINTERNET, TInternetTraits>;

// Links from the network are opened only when they are web addresses.
void OpenWebLink(const std::wstring& link) {
  if (IsWebAddress(link)) ShellOpen(link);
}

// ---- the update question

class TFrmUpdate : public TWindow {
 public:
  TFrmUpdate(const TServiceNotice& notice, const TUpdateCall& call);
  ~TFrmUpdate() override;
  bool Run();
  bool HoldTicked() const { return FHold && SendMessageW(FHold, BM_GETCHECK, 0, 0) == BST_CHECKED; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND Make(const wchar_t* cls, const std::wstring& text, DWORD style, int id, HFONT font);
  void Layout(const TServiceNotice& notice, int adjustment);

  HWND FIconBox = nullptr, FText = nullptr, FYes = nullptr, FNo = nullptr;
  HWND FSeparator = nullptr, FHold = nullptr, FNote = nullptr;
  std::wstring FNoteUrl;  // the link's hint: what a click on it opens
  HFONT FFont = nullptr, FLinkFont = nullptr;
  HBRUSH FWhite = nullptr, FLine = nullptr;
  TIconHandle FSmallIcon;
};

TFrmUpdate::TFrmUpdate(const TServiceNotice& notice, const TUpdateCall& call) {
  FWhite = CreateSolidBrush(RGB(255, 255, 255));
  FLine = CreateSolidBrush(RGB(204, 204, 204));
  const bool onTop = StaysOnTop(notice);
  // Started hidden, the main window has no taskbar button: an always-on-top question then
  // gets one of its own, with no owner and the program's icon.
  const bool ownerless = onTop && call.StartedHidden;
  TClassInfo cls{L"TMessageForm"};
  cls.Background = FWhite;
  CreateWnd(cls, Translate(ApplicationTitle()).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
            WS_EX_DLGMODALFRAME | (onTop ? WS_EX_TOPMOST : 0), ownerless ? nullptr : ApplicationWindow(), 0, 0, 100,
            100);
  if (ownerless) {
    FSmallIcon.Reset(static_cast<HICON>(LoadImageW(Instance(), L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));
    HICON icon = FSmallIcon ? FSmallIcon.Get() : LoadIconW(nullptr, IDI_APPLICATION);
    SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  FFont = MakeFont(L"Segoe UI", 12);
  FLinkFont = MakeFont(L"Segoe UI", 12, FW_NORMAL, true);

  const std::wstring language = CurrentLanguage();
  FIconBox = Make(L"STATIC", L"", SS_ICON, 0, nullptr);
  SendMessageW(FIconBox, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
  FText = Make(L"STATIC", UpdateText(0, language), SS_LEFT | SS_NOPREFIX, updlg::Question, FFont);
  FYes = Make(L"BUTTON", UpdateText(1, language), BS_DEFPUSHBUTTON | WS_TABSTOP, IDYES, FFont);
  FNo = Make(L"BUTTON", UpdateText(2, language), BS_PUSHBUTTON | WS_TABSTOP, IDNO, FFont);
  Layout(notice, call.Adjustment);
  SetDialogNavigation(true);
}

TFrmUpdate::~TFrmUpdate() {
  // The children go with the window; the fonts and brushes after them.
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(FFont), static_cast<HGDIOBJ>(FLinkFont), static_cast<HGDIOBJ>(FWhite),
                    static_cast<HGDIOBJ>(FLine)})
    if (o) DeleteObject(o);
}

HWND TFrmUpdate::Make(const wchar_t* cls, const std::wstring& text, DWORD style, int id, HFONT font) {
  HWND h = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, FHandle,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  if (h && font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return h;
}

void TFrmUpdate::Layout(const TServiceNotice& notice, int adjustment) {
  const int margin = ScaleValue(12), spacing = ScaleValue(15), vspacing = ScaleValue(16);
  const int icon = ScaleValue(32), buttonW = ScaleValue(75), buttonH = ScaleValue(25), buttonGap = ScaleValue(6);

  // The question's extent, wrapped at half the screen's width.
  RECT text{0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
  {
    TWindowDc dc(FHandle);
    TSelect font(dc.Get(), FFont);
    const std::wstring q = [&] {
      const int n = GetWindowTextLengthW(FText);
      std::wstring s(static_cast<size_t>(n) + 1, L'\0');
      s.resize(static_cast<size_t>(GetWindowTextW(FText, s.data(), n + 1)));
      return s;
    }();
    DrawTextW(dc.Get(), q.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  }
  const int textW = text.right, textH = text.bottom;
  const int buttonsW = 2 * buttonW + buttonGap;
  const int clientW = std::max(margin + icon + spacing + textW + margin, buttonsW + 2 * margin);
  const int buttonTop = margin + std::max(icon, textH) + vspacing;
  const int clientH = buttonTop + buttonH + margin;

  SetWindowPos(FIconBox, nullptr, margin, margin, icon, icon, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(FText, nullptr, margin + icon + spacing, margin, textW, textH, SWP_NOZORDER | SWP_NOACTIVATE);
  const int buttonLeft = (clientW - buttonsW) / 2;
  SetWindowPos(FYes, nullptr, buttonLeft, buttonTop, buttonW, buttonH, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(FNo, nullptr, buttonLeft + buttonW + buttonGap, buttonTop, buttonW, buttonH,
               SWP_NOZORDER | SWP_NOACTIVATE);

  RECT frame{0, 0, clientW, clientH};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_EXSTYLE)), Dpi());
  const int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;

  // The notice's places count from the dialog's outer height, as its layout constants do.
  const TNoticeKind kind = NoticeKindOf(notice);
  if (kind != TNoticeKind::None) {
    height += ScaleValue(40 - adjustment);
    FSeparator = Make(L"STATIC", L"", SS_LEFT, updlg::Separator, nullptr);
    SetWindowPos(FSeparator, nullptr, 0, height - ScaleValue(76 - adjustment), width, 1, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const int noticeTop = height - ScaleValue(66 - adjustment), noticeLeft = ScaleValue(10);
  if (kind == TNoticeKind::Hold) {
    FHold = Make(L"BUTTON", notice.Text, BS_AUTOCHECKBOX | WS_TABSTOP, updlg::Hold, FFont);
    SetWindowPos(FHold, nullptr, noticeLeft, noticeTop, width, ScaleValue(17), SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (kind == TNoticeKind::Note) {
    FNote = Make(L"STATIC", notice.Text, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, updlg::Note, FLinkFont);
    FNoteUrl = notice.Url;
    SIZE extent{};
    {
      TWindowDc dc(FHandle);
      TSelect font(dc.Get(), FLinkFont);
      GetTextExtentPoint32W(dc.Get(), notice.Text.c_str(), static_cast<int>(notice.Text.size()), &extent);
    }
    SetWindowPos(FNote, nullptr, noticeLeft, noticeTop, extent.cx, std::max<int>(extent.cy, ScaleValue(15)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Centred on the screen.
  SetWindowPos(FHandle, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TFrmUpdate::Run() { return ShowModal() == IDYES; }

LRESULT TFrmUpdate::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == IDYES || id == IDNO || id == IDCANCEL) SetModalResult(id);
      else if (id == updlg::Note && HIWORD(wp) == STN_CLICKED) OpenWebLink(FNoteUrl);
      return 0;
    }
    case WM_ACTIVATE:
      // The default button has the focus, so Enter and Space answer Yes.
      if (LOWORD(wp) != WA_INACTIVE && !IsChild(FHandle, GetFocus())) SetFocus(FYes);
      return 0;
    case WM_CLOSE: SetModalResult(IDCANCEL); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      HWND control = reinterpret_cast<HWND>(lp);
      if (control == FSeparator) return reinterpret_cast<LRESULT>(FLine);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, control == FNote ? RGB(0, 0, 255) : RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(FWhite);
    }
    case WM_SETCURSOR:
      if (FNote && reinterpret_cast<HWND>(wp) == FNote) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}

// ---- threads

struct TStartupJob {
  TUpdateCall Call;
  TUpdateProc Proc;
};

bool Ending(const TUpdateCall& call) { return call.Terminating && call.Terminating(); }

void Complete(const std::wstring& reply, const TStartupJob& job) {
  if (Ending(job.Call)) return;  // the main window is gone: nobody to ask or to tell
  bool accepted = false;
  try {
    const std::wstring link = ReplyMember(reply, L"update");
    if (!link.empty() && IsWebAddress(link) && UpdateDialog(reply, job.Call)) {
      ShellOpen(link);
      accepted = true;
    }
  } catch (const std::exception&) {
    // A reply that cannot be read offers nothing.
  }
  if (job.Proc) job.Proc(accepted, reply);
}

DWORD WINAPI StartupThread(void* param) {
  auto* job = static_cast<TStartupJob*>(param);
  // With a completion procedure the thread owns its job; without one CheckUpdate does.
  std::unique_ptr<TStartupJob> owned(job->Proc ? job : nullptr);
  try {
    const std::wstring language = CurrentLanguage();
    const THeaderList headers = StartupHeaders(FileVersionText(L"%d.%d.%d.%d"), language, GetInstallId());
    const std::optional<std::string> reply = CallWithRetries(
        [&](std::string& text) { return HttpGetText(job->Call.Address, headers, text); },
        [](unsigned ms) { Sleep(ms); }, [&] { return Ending(job->Call); });
    if (!reply || Ending(job->Call)) return 0;
    const std::wstring text = Utf8ToWide(*reply);
    SyncToMain([&] { Complete(text, *job); });
  } catch (...) {
    // Nothing of the start-up call may end the program.
  }
  return 0;
}

struct THoldJob {
  std::wstring Address;
};

DWORD WINAPI HoldThread(void* param) {
  std::unique_ptr<THoldJob> job(static_cast<THoldJob*>(param));
  try {
    std::string ignored;
    HttpGetText(job->Address, HoldHeaders(FileVersionText(L"%d.%d.%d.%d")), ignored);
  } catch (...) {
  }
  return 0;
}

void StartHoldRequest(const std::wstring& address) {
  auto* job = new THoldJob{address};
  HANDLE t = CreateThread(nullptr, 0, HoldThread, job, 0, nullptr);
  if (t) CloseHandle(t);
  else delete job;
}

}  // namespace

bool UpdateDialog(const std::wstring& reply, const TUpdateCall& call) {
  const TServiceNotice notice = ParseServiceReply(reply).Notice;
  TFrmUpdate form(notice, call);
  const bool yes = form.Run();
  if (form.HoldTicked()) StartHoldRequest(call.Address);
  return yes;
}

void CheckUpdate(const TUpdateCall& call, TUpdateProc proc) {
  auto* job = new TStartupJob{call, std::move(proc)};
  const bool selfFreeing = static_cast<bool>(job->Proc);
  HANDLE t = CreateThread(nullptr, 0, StartupThread, job, 0, nullptr);
  if (!t) {
    delete job;
    return;
  }
  if (selfFreeing) {
    CloseHandle(t);
    return;
  }
  // The completion comes through the user-interface thread's queue: keep it moving.
  while (MsgWaitForMultipleObjects(1, &t, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) ProcessMessages();
  CloseHandle(t);
  delete job;
}

std::wstring GetInstallId() {
  TConfig cfg(L"Dorvenix");
  if (!cfg.ValueExists(L"VUID")) cfg.WriteString(L"VUID", NewInstallId());
  return cfg.ReadString(L"VUID", L"");
}

bool HttpGetText(const std::wstring& address, const THeaderList& headers, std::string& text) {
  text.clear();
  URL_COMPONENTS uc{};
  uc.dwStructSize = sizeof(uc);
  uc.dwSchemeLength = uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(address.c_str(), 0, 0, &uc)) return false;
  const std::wstring host(uc.lpszHostName, uc.dwHostNameLength);
  std::wstring path(uc.lpszUrlPath, uc.dwUrlPathLength);
  path.append(uc.lpszExtraInfo, uc.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  // A new client per request, with the platform's time-outs, redirects and agent.
  TInternet session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  TInternet connection(WinHttpConnect(session.Get(), host.c_str(), uc.nPort, 0));
  if (!connection) return false;
  TInternet request(WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       uc.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return false;
  for (const auto& [name, value] : headers) {
    const std::wstring line = name + L": " + value;
    WinHttpAddRequestHeaders(request.Get(), line.c_str(), static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);
  }
  if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr))
    return false;
  std::string body;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.Get(), &available)) return false;
    if (available == 0) break;
    const size_t at = body.size();
    body.resize(at + available);
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), body.data() + at, available, &read)) return false;
    body.resize(at + read);
  }
  text = std::move(body);
  return true;
}
