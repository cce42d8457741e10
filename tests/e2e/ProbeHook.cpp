// e2e_probe.dll: loaded into another process by a message hook (Probe.h), it answers
// questions that only the owning process can answer under Wine, where menus and tooltip
// texts cannot be read from outside: it writes the answer into the asking test's shared
// memory and returns.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "e2e/ProbeProtocol.h"

namespace {

void Answer(DWORD testPid, const std::wstring& text) {
  HANDLE map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::ProbeMappingName(testPid).c_str());
  if (!map) return;
  if (auto* view = static_cast<wchar_t*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0))) {
    const size_t n = text.size() < e2e::kProbeChars - 1 ? text.size() : e2e::kProbeChars - 1;
    memcpy(view, text.c_str(), n * sizeof(wchar_t));
    view[n] = 0;
    UnmapViewOfFile(view);
  }
  CloseHandle(map);
}

std::wstring Field(long v) { return std::to_wstring(v) + L"\t"; }

// One line per item: depth, flags, id, screen rectangle (of items of the open window only), caption.
void DumpMenu(HWND menuWindow, HMENU menu, int depth, std::wstring& out) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    wchar_t caption[512] = {};
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_ID;
    mi.dwTypeData = caption;
    mi.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mi)) continue;
    int flags = 0;
    if (mi.fType & MFT_SEPARATOR) flags |= e2e::kItemSeparator;
    if (mi.fType & MFT_RADIOCHECK) flags |= e2e::kItemRadio;
    if (mi.fState & MFS_CHECKED) flags |= e2e::kItemChecked;
    if (mi.fState & MFS_DISABLED) flags |= e2e::kItemDisabled;
    if (mi.hSubMenu) flags |= e2e::kItemSubmenu;
    RECT r{};
    if (depth == 0) GetMenuItemRect(menuWindow, menu, static_cast<UINT>(i), &r);
    out += Field(depth) + Field(flags) + Field(static_cast<long>(mi.wID)) + Field(r.left) + Field(r.top) +
           Field(r.right) + Field(r.bottom) + caption + L"\n";
    if (mi.hSubMenu) DumpMenu(menuWindow, mi.hSubMenu, depth + 1, out);
  }
}

struct TWalk {
  int Request;
  std::wstring Out;
};

BOOL CALLBACK EachThreadWindow(HWND wnd, LPARAM lp) {
  auto& walk = *reinterpret_cast<TWalk*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  if (walk.Request == e2e::kProbeMenus && !lstrcmpW(cls, L"#32768") && IsWindowVisible(wnd)) {
    RECT r{};
    GetWindowRect(wnd, &r);
    walk.Out += L"menu\t" + Field(r.left) + Field(r.top) + Field(r.right) + Field(r.bottom) + L"\n";
    DumpMenu(wnd, reinterpret_cast<HMENU>(SendMessageW(wnd, MN_GETHMENU, 0, 0)), 0, walk.Out);
  } else if (walk.Request == e2e::kProbeToolTips && !lstrcmpW(cls, TOOLTIPS_CLASSW)) {
    const int n = static_cast<int>(SendMessageW(wnd, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t text[512] = {};
      TTTOOLINFOW ti{};
      ti.cbSize = sizeof(ti);
      ti.lpszText = text;
      if (SendMessageW(wnd, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti)))
        walk.Out += std::wstring(text) + L"\n";
    }
  }
  return TRUE;
}

std::wstring FontOf(HWND control) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof(lf), &lf)) return std::wstring();
  return Field(lf.lfHeight) + Field(lf.lfWeight) + lf.lfFaceName;
}

// The system's suggestion keeps the window's place and scales its size.
void ChangeDpi(HWND wnd, UINT dpi) {
  RECT r{};
  GetWindowRect(wnd, &r);
  const UINT old = GetDpiForWindow(wnd) ? GetDpiForWindow(wnd) : 96;
  RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, static_cast<int>(dpi), static_cast<int>(old)),
                 r.top + MulDiv(r.bottom - r.top, static_cast<int>(dpi), static_cast<int>(old))};
  SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wp, LPARAM lp) {
  static const UINT probe = RegisterWindowMessageW(e2e::kProbeMessage);
  if (code == HC_ACTION) {
    const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (cwp->message == probe) {
      const int request = static_cast<int>(cwp->wParam);
      const DWORD testPid = static_cast<DWORD>(cwp->lParam);
      if (request == e2e::kProbeFont) {
        Answer(testPid, FontOf(cwp->hwnd));
      } else if (request == e2e::kProbePointer) {
        HCURSOR now = GetCursor();
        Answer(testPid, now == LoadCursorW(nullptr, IDC_HAND)    ? L"hand"
                        : now == LoadCursorW(nullptr, IDC_ARROW) ? L"arrow"
                                                                 : L"other");
      } else if (request > e2e::kProbeDpi) {
        ChangeDpi(cwp->hwnd, static_cast<UINT>(request - e2e::kProbeDpi));
        Answer(testPid, L"done");
      } else {
        TWalk walk{request, {}};
        EnumThreadWindows(GetCurrentThreadId(), EachThreadWindow, reinterpret_cast<LPARAM>(&walk));
        Answer(testPid, walk.Out);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
