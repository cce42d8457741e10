#include "outputs/Upload.h"

#include <wininet.h>

#include <atomic>
#include <random>
#include <vector>

#include "base/Hosts.h"
#include "outputs/Encoders.h"
#include "ui/Bitmap.h"
#include "ui/Window.h"

namespace {

class TInternet {
 public:
  explicit TInternet(HINTERNET h) : FHandle(h) {}
  TInternet(const TInternet&) = delete;
  TInternet& operator=(const TInternet&) = delete;
  ~TInternet() {
    if (FHandle) InternetCloseHandle(FHandle);
  }
  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HINTERNET FHandle;
};

std::string NewBoundary() {
  std::random_device seed;
  std::mt19937 gen(seed());
  std::uniform_int_distribution<uint32_t> number(0, 2147483646);
  const uint32_t first = number(gen);
  return UploadBoundary(first, number(gen));
}

// The reply is single-byte text in the system's code page.
std::wstring AnsiToWide(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

}  // namespace

void UploadImage(const TBitmap& picture, const TProgressProc& progress, std::wstring& link) {
  link.clear();
  // Over HTTPS unless the address the user or the test set says http://.
  const std::optional<TServiceAddress> service = UploadAddress();
  if (!service) return;
  const std::string boundary = NewBoundary();
  const std::vector<uint8_t> body = UploadBody(boundary, EncodePng(picture.View()));
  const std::wstring headers = UploadHeaders(service->Host, service->Port, boundary);
  const std::wstring path = service->Path + L"/image";

  // Declared in this order so they close as request, connection, internet.
  TInternet net(InternetOpenW(L"Vantoru Uploader", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!net) return;
  TInternet connection(InternetConnectW(net.Get(), service->Host.c_str(), service->Port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return;
  // No redirects: the picture goes to the address chosen and nowhere else, and a reply that
  // is not the service's own 200 is a failure anyway.
  const DWORD flags =
      INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT | (service->Secure ? INTERNET_FLAG_SECURE : 0);
  TInternet request(
      HttpOpenRequestW(connection.Get(), L"POST", path.c_str(), L"HTTP/1.0", nullptr, nullptr, flags, 0));
  if (!request) return;

  INTERNET_BUFFERSW head{};
  head.dwStructSize = sizeof(head);
  head.lpcszHeader = headers.c_str();
  head.dwHeadersLength = static_cast<DWORD>(headers.size());
  head.dwBufferTotal = static_cast<DWORD>(body.size());
  if (!HttpSendRequestExW(request.Get(), &head, nullptr, 0, 0)) return;
  const bool complete = SendInPieces(body, progress, [&](const uint8_t* data, size_t count) -> size_t {
    DWORD written = 0;
    if (!InternetWriteFile(request.Get(), data, static_cast<DWORD>(count), &written)) return 0;
    return written;
  });
  // A body cut short would leave the service waiting for the rest.
  if (!complete) return;
  if (!HttpEndRequestW(request.Get(), nullptr, 0, 0)) return;

  DWORD status = 0, size = sizeof(status);
  if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status != 200)
    return;
  std::string reply;
  DWORD available = 0;
  while (InternetQueryDataAvailable(request.Get(), &available, 0, 0) && available > 0) {
    std::vector<char> piece(available);
    DWORD read = 0;
    if (!InternetReadFile(request.Get(), piece.data(), available, &read) || read == 0) break;
    reply.append(piece.data(), read);
  }
  link = UploadLink(AnsiToWide(reply));
}

// ---------------------------------------------------------------------------------------
// The progress bar. Its gauge and label are drawn by the window itself.

class TProgressForm::TForm : public TWindow {
 public:
  explicit TForm(const std::wstring& text) : FText(text) {
    TClassInfo cls{L"TProgressForm"};
    cls.Background = nullptr;
    // Click-through and translucent; no owner but the desktop, so it stays when the main
    // window hides.
    CreateWnd(cls, L"", WS_POPUP, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
              GetDesktopWindow(), 0, 0, 0, 0);
    SetLayeredWindowAttributes(FHandle, 0, 140, LWA_ALPHA);
    FFont = TGdiObject(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI"));
  }
  void SetProgress(int32_t position, int32_t maximum) {
    FMax = maximum;
    FPosition = position;
    if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
  }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_ERASEBKGND: return 1;
      case WM_NCHITTEST: return HTTRANSPARENT;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        RECT client{};
        GetClientRect(FHandle, &client);
        TMemDc mem(CreateCompatibleDC(dc));
        TGdiObject bmp(CreateCompatibleBitmap(dc, client.right, client.bottom));
        {
          TSelect s(mem.Get(), bmp.Get());
          Paint(mem.Get(), client);
          BitBlt(dc, 0, 0, client.right, client.bottom, mem.Get(), 0, 0, SRCCOPY);
        }
        EndPaint(FHandle, &ps);
        return 0;
      }
      default: return DefaultProc(msg, wp, lp);
    }
  }

 private:
  void Paint(HDC dc, const RECT& client) {
    TGdiObject back(CreateSolidBrush(RGB(64, 0, 0)));
    FillRect(dc, &client, static_cast<HBRUSH>(back.Get()));
    const int32_t max = FMax, pos = FPosition;
    if (max > 0 && pos > 0) {
      RECT bar = client;
      bar.right = static_cast<LONG>(static_cast<int64_t>(client.right) * std::min(pos, max) / max);
      TGdiObject fore(CreateSolidBrush(RGB(255, 0, 0)));
      FillRect(dc, &bar, static_cast<HBRUSH>(fore.Get()));
    }
    TSelect font(dc, FFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT label{0, 8, GetSystemMetrics(SM_CXSCREEN), client.bottom};
    DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &label, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }

  std::wstring FText;
  TGdiObject FFont;
  std::atomic<int32_t> FMax{100};
  std::atomic<int32_t> FPosition{0};
};

TProgressForm::TProgressForm(const std::wstring& text) : FForm(std::make_unique<TForm>(text)) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  FHandle = FindWindowW(L"Shell_TrayWnd", nullptr);
  RECT r{};
  const bool taskbar = FHandle && GetWindowRect(FHandle, &r);
  if (taskbar) FRect = TRect{r.left, r.top, r.right, r.bottom};
  const int top = ProgressBarTop(width, height, taskbar ? &FRect : nullptr);
  SetWindowPos(FForm->Handle(), HWND_TOPMOST, 0, top, width, kProgressHeight, SWP_NOACTIVATE);
  ShowWindow(FForm->Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(FForm->Handle());
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::SetProgress(int32_t position, int32_t maximum) { FForm->SetProgress(position, maximum); }

HWND TProgressForm::Handle() const { return FForm->Handle(); }
