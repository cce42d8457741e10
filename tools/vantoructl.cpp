// vantoructl: drives a running Vantoru the way another program does.
//   vantoructl wait            wait (up to 30 s) until Vantoru answers
//   vantoructl capture         one capture in the current mode and output; prints the new file
//   vantoructl time [N]        N captures (default 10); prints the milliseconds from each
//                              WM_COPYDATA send to its reply, then min, median and max
//   vantoructl about | quit
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

HWND FindVantoru() { return FindWindowW(L"TFrmVantoru", nullptr); }

std::wstring SaveFolder() {
  wchar_t buf[1024];
  DWORD size = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Dorvenix\\Vantoru", L"path", RRF_RT_REG_SZ, nullptr, buf, &size) ==
      ERROR_SUCCESS)
    return buf;
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, buf))) return buf;
  return L".";
}

// The newest "V-" file of the save folder, and when it was written.
std::wstring Newest(FILETIME* when) {
  const std::wstring folder = SaveFolder();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\V-*").c_str(), &fd);
  std::wstring best;
  FILETIME bestTime{};
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (best.empty() || CompareFileTime(&fd.ftLastWriteTime, &bestTime) > 0) {
        best = folder + L"\\" + fd.cFileName;
        bestTime = fd.ftLastWriteTime;
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  if (when) *when = bestTime;
  return best;
}

LRESULT Send(HWND wnd, const std::wstring& json) {
  COPYDATASTRUCT cds{};
  cds.dwData = 1;
  cds.cbData = static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t));
  cds.lpData = const_cast<wchar_t*>(json.c_str());
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 120000, &result))
    return -1;
  return static_cast<LRESULT>(result);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring what = argc > 1 ? argv[1] : L"";
  if (what == L"wait") {
    for (int i = 0; i < 300; ++i) {
      if (FindVantoru()) return 0;
      Sleep(100);
    }
    fwprintf(stderr, L"vantoructl: Vantoru did not start\n");
    return 1;
  }
  HWND wnd = FindVantoru();
  if (!wnd) {
    fwprintf(stderr, L"vantoructl: Vantoru is not running\n");
    return 1;
  }
  if (what == L"capture") {
    FILETIME before{};
    const std::wstring old = Newest(&before);
    const LRESULT r = Send(wnd, L"{\"command\":\"capture\"}");
    if (r != 1) {
      fwprintf(stderr, L"vantoructl: the capture command was not accepted (%ld)\n", static_cast<long>(r));
      return 1;
    }
    FILETIME after{};
    const std::wstring now = Newest(&after);
    if (now.empty() || (now == old && CompareFileTime(&after, &before) == 0)) {
      wprintf(L"captured (no new file in %ls)\n", SaveFolder().c_str());
      return 0;
    }
    wprintf(L"%ls\n", now.c_str());
    return 0;
  }
  if (what == L"time") {
    const int n = argc > 2 ? _wtoi(argv[2]) : 10;
    std::vector<double> ms;
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    for (int i = 0; i < n; ++i) {
      QueryPerformanceCounter(&t0);
      const LRESULT r = Send(wnd, L"{\"command\":\"capture\"}");
      QueryPerformanceCounter(&t1);
      if (r != 1) {
        fwprintf(stderr, L"vantoructl: the capture command was not accepted (%ld)\n", static_cast<long>(r));
        return 1;
      }
      ms.push_back(1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
      wprintf(L"capture %d: %.1f ms\n", i + 1, ms.back());
    }
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    wprintf(L"min %.1f ms, median %.1f ms, max %.1f ms\n", ms.front(), ms[ms.size() / 2], ms.back());
    return 0;
  }
  if (what == L"about") return Send(wnd, L"{\"command\":\"about\"}") == 1 ? 0 : 1;
  if (what == L"quit") {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(wnd, WM_USER, 2, 0, SMTO_NORMAL, 10000, &r);
    return 0;
  }
  fwprintf(stderr, L"usage: vantoructl wait|capture|time [N]|about|quit\n");
  return 2;
}
