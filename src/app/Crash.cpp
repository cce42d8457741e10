#include "app/Crash.h"

#include <windows.h>
#include <dbghelp.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "base/AutoStart.h"
#include "base/Config.h"
#include "base/CrashReport.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "ui/TranslateWin.h"
#include "ui/Window.h"

namespace {

using TMiniDumpWriteDump = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                         PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Everything the handler needs, made while the process is still sound.
struct TCrashSetup {
  std::wstring Exe;
  std::wstring Folder;
  std::wstring Version;
  uint64_t ImageBase = 0, ImageSize = 0;  // of the program file
  TMiniDumpWriteDump WriteDump = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER Previous = nullptr;
};
TCrashSetup gSetup;
std::atomic<bool> gCrashing{false};

constexpr DWORD kGccThrow = 0x20474343;       // an unhandled exception of the GCC C++ runtime
constexpr DWORD kFatalAppExit = 0x40000015;   // what abort() and terminate() end with

void CreateFolders(const std::wstring& path) {
  for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
}

std::vector<TCrashModule> LoadedModules() {
  std::vector<TCrashModule> list;
  HMODULE modules[1024];
  DWORD needed = 0;
  if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof(modules), &needed)) return list;
  const DWORD n = std::min<DWORD>(needed / sizeof(HMODULE), 1024);
  for (DWORD i = 0; i < n; ++i) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(modules[i], path, MAX_PATH);
    MODULEINFO info{};
    GetModuleInformation(GetCurrentProcess(), modules[i], &info, sizeof(info));
    list.push_back({path, reinterpret_cast<uint64_t>(info.lpBaseOfDll), info.SizeOfImage});
  }
  return list;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

struct TPending {
  EXCEPTION_POINTERS* Exception;
  DWORD ThreadId;
  std::wstring What;
};

// The text report, the report window's start, and the minidump.
void WriteReport(const TPending& p) {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  TCrashFacts facts;
  facts.Version = gSetup.Version;
  facts.Time = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  facts.Code = p.Exception->ExceptionRecord->ExceptionCode;
  facts.Address = reinterpret_cast<uint64_t>(p.Exception->ExceptionRecord->ExceptionAddress);
  facts.ThreadId = p.ThreadId;
  facts.What = p.What;
  facts.Modules = LoadedModules();

  CreateFolders(gSetup.Folder);
  const std::wstring stem = JoinPath(gSetup.Folder, CrashFileStem(facts.Time));
  WriteText(stem + L".txt", CrashReportText(facts));

  std::wstring cmd = L"\"" + gSetup.Exe + L"\" /crash \"" + gSetup.Folder + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(gSetup.Exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  // Last, as it can take seconds (Wine reads every module it has).
  if (gSetup.WriteDump) {
    HANDLE f = CreateFileW((stem + L".dmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      MINIDUMP_EXCEPTION_INFORMATION info{p.ThreadId, p.Exception, FALSE};
      gSetup.WriteDump(GetCurrentProcess(), GetCurrentProcessId(), f, MiniDumpNormal, &info, nullptr, nullptr);
      CloseHandle(f);
    }
  }
}

DWORD WINAPI ReportThread(void* pending) {
  WriteReport(*static_cast<const TPending*>(pending));
  return 0;
}

// Reports and ends the process. The work runs on a fresh thread: the failing one may have
// no stack left, and a dump shows its stack best from outside. Whatever fails on the way
// is skipped: the process ends in any case.
[[noreturn]] void Report(EXCEPTION_POINTERS* ep, const std::wstring& what) {
  // A second fault (in the report, or on another thread meanwhile) waits for the end.
  if (gCrashing.exchange(true))
    for (;;) Sleep(INFINITE);
  const TPending pending{ep, GetCurrentThreadId(), what};
  if (HANDLE t = CreateThread(nullptr, 1 << 20, ReportThread, const_cast<TPending*>(&pending), 0, nullptr)) {
    WaitForSingleObject(t, 60000);
    CloseHandle(t);
  } else {
    WriteReport(pending);
  }
  TerminateProcess(GetCurrentProcess(), ep->ExceptionRecord->ExceptionCode);
  for (;;) Sleep(INFINITE);
}

// Hardware faults of the program's own code. Wine (and Windows for some callers) swallows
// exceptions that leave a window procedure, so these are taken when they are raised; code
// of the program never expects one, unlike system code that probes memory.
LONG WINAPI FaultHandler(EXCEPTION_POINTERS* ep) {
  const uint64_t at = reinterpret_cast<uint64_t>(ep->ExceptionRecord->ExceptionAddress);
  if (at < gSetup.ImageBase || at - gSetup.ImageBase >= gSetup.ImageSize) return EXCEPTION_CONTINUE_SEARCH;
  switch (ep->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_DATATYPE_MISALIGNMENT: Report(ep, std::wstring());
    default: return EXCEPTION_CONTINUE_SEARCH;
  }
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* ep) {
  // The GCC runtime's own filter lets an unhandled C++ exception return to its throw, which
  // then calls terminate: there the exception's text is known.
  if (ep->ExceptionRecord->ExceptionCode == kGccThrow && gSetup.Previous &&
      gSetup.Previous(ep) == EXCEPTION_CONTINUE_EXECUTION)
    return EXCEPTION_CONTINUE_EXECUTION;
  Report(ep, std::wstring());
}

void OnTerminate() {
  std::wstring what = L"terminate called";
  if (std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      what = L"unhandled C++ exception: " + Utf8ToWide(x.what());
    } catch (...) {
      what = L"unhandled C++ exception";
    }
  }
  CONTEXT context{};
  RtlCaptureContext(&context);
  EXCEPTION_RECORD record{};
  record.ExceptionCode = kFatalAppExit;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#if defined(_M_X64) || defined(__x86_64__)
  record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
#endif
  EXCEPTION_POINTERS ep{&record, &context};
  Report(&ep, what);
}

// ---- the report window

constexpr int kClientW = 400, kClientH = 132;
constexpr int kIdClose = IDOK;

class TFrmCrash : public TWindow {
 public:
  explicit TFrmCrash(const std::wstring& folder) {
    TClassInfo cls{L"TFrmCrash"};
    cls.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateWnd(cls, Translate(L"반토루").c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
              WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_APPWINDOW, nullptr, 0, 0, kClientW, kClientH);
    SetClientSize(kClientW, kClientH);
    CenterOnScreen();
    const DWORD vis = WS_VISIBLE;
    AddChild(L"LblCrash", TChildKind::Label, L"STATIC", Translate(L"프로그램에 문제가 생겨 종료되었습니다."), vis, 0, 60,
             14, 326, 18, 1001);
    AddChild(L"LblReport", TChildKind::Label, L"STATIC",
             Translate(L"오류 보고서를 아래 폴더에 저장했습니다. 보고서는 어디에도 보내지 않습니다."), vis, 0, 60, 34, 326,
             32, 1002);
    AddChild(L"EdtFolder", TChildKind::Edit, L"EDIT", folder, vis | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
             WS_EX_CLIENTEDGE, 60, 68, 326, 22, 1003);
    AddChild(L"BtnClose", TChildKind::Button, L"BUTTON", Translate(L"닫기"), vis | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
             306, 98, 80, 25, kIdClose);
    FFont.Reset(MakeFont(L"Segoe UI", 12));
    for (const TChild& c : FChildren) SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
    SetDialogNavigation(true);
  }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) SetModalResult(IDOK);
        return 0;
      case WM_CLOSE:
        SetModalResult(IDCANCEL);
        return 0;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        DrawIconEx(dc, ScaleValue(16), ScaleValue(16), LoadIconW(nullptr, IDI_ERROR), ScaleValue(32), ScaleValue(32),
                   0, nullptr, DI_NORMAL);
        EndPaint(FHandle, &ps);
        return 0;
      }
      default: break;
    }
    return DefaultProc(msg, wp, lp);
  }
  void DpiChanged() override {
    SetClientSize(kClientW, kClientH);
    Relayout();
    FFont.Reset(MakeFont(L"Segoe UI", 12));
    for (const TChild& c : FChildren) SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
  }

 private:
  TGdiObject FFont;
};

}  // namespace

std::wstring CrashFolder() {
  return JoinPath(GetSpecialFolder(CSIDL_LOCAL_APPDATA), L"Dorvenix\\Vantoru\\crash");
}

void InstallCrashHandler() {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  gSetup.Exe = exe;
  gSetup.Folder = CrashFolder();
  gSetup.Version = FileVersionText(L"%d.%d.%d.%d");
  // Loaded now: loading a library in a crashed process may wait forever on the loader.
  if (HMODULE dbghelp = LoadLibraryW(L"dbghelp.dll"))
    gSetup.WriteDump =
        reinterpret_cast<TMiniDumpWriteDump>(reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
  MODULEINFO image{};
  if (GetModuleInformation(GetCurrentProcess(), GetModuleHandleW(nullptr), &image, sizeof(image))) {
    gSetup.ImageBase = reinterpret_cast<uint64_t>(image.lpBaseOfDll);
    gSetup.ImageSize = image.SizeOfImage;
  }
  AddVectoredExceptionHandler(1, FaultHandler);
  gSetup.Previous = SetUnhandledExceptionFilter(UnhandledFilter);
  std::set_terminate(OnTerminate);
}

int ShowCrashReport(const std::wstring& folder) {
  LoadTranslateTable();
  SetCurrentLanguage(AcceptedLanguage(TConfig(kConfigPath).ReadString(setting::Language,
                                                                       GetSystemLanguage().substr(0, 2))));
  TFrmCrash form(ShortenMiddle(folder, MAX_PATH));
  form.ShowModal();
  return 0;
}
