#include "e2e/Probe.h"

#include <sstream>

#include "e2e/Driver.h"
#include "e2e/ProbeProtocol.h"

namespace e2e {

namespace {

// Runs one request inside the thread that owns `target` and returns its answer.
std::wstring Ask(HWND target, int request) {
  static HMODULE dll = LoadLibraryW((BuildDir() + L"e2e_probe.dll").c_str());
  static auto proc = dll ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeHook"))) : nullptr;
  if (!proc) {
    ADD_FAILURE() << "e2e_probe.dll is missing";
    return std::wstring();
  }
  const DWORD me = GetCurrentProcessId();
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(kProbeChars * sizeof(wchar_t)), ProbeMappingName(me).c_str());
  auto* view = static_cast<wchar_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  view[0] = 0;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, proc, dll, GetWindowThreadProcessId(target, nullptr));
  if (hook) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(target, RegisterWindowMessageW(kProbeMessage), static_cast<WPARAM>(request), me,
                        SMTO_ABORTIFHUNG, 5000, &result);
    UnhookWindowsHookEx(hook);
  } else {
    ADD_FAILURE() << "SetWindowsHookEx failed: " << GetLastError();
  }
  std::wstring answer(view);
  UnmapViewOfFile(view);
  CloseHandle(map);
  return answer;
}

std::vector<std::wstring> Split(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> parts;
  std::wstringstream in(s);
  std::wstring part;
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

void InputMouse(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof(in));
}

}  // namespace

std::vector<TMenuEntry> TOpenMenu::Children(const std::wstring& caption) const {
  std::vector<TMenuEntry> out;
  int depth = 0;
  size_t i = 0;
  if (!caption.empty()) {
    while (i < Items.size() && Items[i].Caption != caption) ++i;
    if (i == Items.size()) return out;
    depth = Items[i].Depth + 1;
    ++i;
  }
  for (; i < Items.size() && Items[i].Depth >= depth; ++i)
    if (Items[i].Depth == depth) out.push_back(Items[i]);
  return out;
}

const TMenuEntry* TOpenMenu::Find(const std::wstring& caption) const {
  for (const auto& e : Items)
    if (e.Caption == caption) return &e;
  return nullptr;
}

std::vector<TOpenMenu> OpenMenus(HWND wnd) {
  std::vector<TOpenMenu> menus;
  for (const std::wstring& line : Split(Ask(wnd, kProbeMenus), L'\n')) {
    const std::vector<std::wstring> f = Split(line, L'\t');
    if (f.size() >= 5 && f[0] == L"menu") {
      TOpenMenu m;
      m.Rect = RECT{std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]), std::stoi(f[4])};
      menus.push_back(m);
    } else if (f.size() >= 7 && !menus.empty()) {
      TMenuEntry e;
      e.Depth = std::stoi(f[0]);
      const int flags = std::stoi(f[1]);
      e.Id = static_cast<unsigned>(std::stoul(f[2]));
      e.Rect = RECT{std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6])};
      e.Caption = f.size() > 7 ? f[7] : std::wstring();
      e.Separator = flags & kItemSeparator;
      e.Radio = flags & kItemRadio;
      e.Checked = flags & kItemChecked;
      e.Disabled = flags & kItemDisabled;
      e.Submenu = flags & kItemSubmenu;
      menus.back().Items.push_back(e);
    }
  }
  return menus;
}

std::vector<TOpenMenu> WaitOpenMenus(HWND wnd, size_t count) {
  std::vector<TOpenMenu> menus;
  WaitFor(
      [&] {
        menus = OpenMenus(wnd);
        return menus.size() == count;
      },
      std::chrono::seconds(5));
  return menus;
}

std::vector<HWND> TrayIconWindows() {
  std::vector<HWND> icons;
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  for (HWND c = tray ? GetWindow(tray, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowVisible(c)) icons.push_back(c);
  return icons;
}

std::vector<std::wstring> TrayIconHints() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (!tray) return {};
  return Split(Ask(tray, kProbeToolTips), L'\n');
}

TFont ControlFont(HWND control) {
  const std::vector<std::wstring> f = Split(Ask(control, kProbeFont), L'\t');
  TFont font;
  if (f.size() < 3) return font;
  font.Height = std::stoi(f[0]);
  font.Weight = std::stoi(f[1]);
  font.Face = f[2];
  return font;
}

std::wstring PointerShape(HWND wnd) { return Ask(wnd, kProbePointer); }

void ChangeDpi(HWND wnd, UINT dpi) { EXPECT_EQ(Ask(wnd, kProbeDpi + static_cast<int>(dpi)), L"done"); }

void MouseClick(int x, int y, bool right) {
  SetCursorPos(x, y);
  Sleep(30);
  InputMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  Sleep(30);
  InputMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

void KeyPress(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

RECT ClientRectOf(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace e2e
