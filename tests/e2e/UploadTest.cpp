// The upload output against a loopback image service on port 80: the request as received,
// the link opened, the failure message, and the progress bar on screen.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "e2e/Driver.h"
#include "e2e/HttpServer.h"
#include "e2e/Screen.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCapture = L"{\"command\":\"capture\"}";
constexpr const char* kSuccess = R"({"status":"success","url":"http:\/\/127.0.0.1\/i\/Ab1.png","id":7})";

class Upload : public TE2ETest {
 protected:
  void SetUp() override {
    TE2ETest::SetUp();
    SetDword(kSettingsKey, L"saveto", 8);  // upload
    SetDword(kSettingsKey, L"area", 0);    // the monitor under the pointer: the whole screen
    SetDword(kSettingsKey, L"mouse", 0);
    SetDword(kSettingsKey, L"sound", 1);
  }
};

TPixels DecodeBytes(const std::string& bytes) {
  const std::wstring path = NewTempDir(L"png") + L"body.png";
  std::ofstream(path.c_str(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return DecodeImageFile(path);
}

HWND ProgressWindow(DWORD pid) {
  const auto found = ProcessWindows(pid, L"TProgressForm", true);
  return found.empty() ? nullptr : found.front();
}

// The boundary named in the Content-Type header; empty when the header is not as sent.
std::string BoundaryOf(const THttpRequest& req) {
  const std::string prefix = "multipart/form-data; boundary=";
  const std::string type = req.Header("Content-Type");
  return type.rfind(prefix, 0) == 0 ? type.substr(prefix.size()) : std::string();
}

// A service that takes the whole request, then keeps its answer until released.
class THoldingService {
 public:
  THoldingService() {
    FSocket = ListenLoopback(80, nullptr, 4);
    if (FSocket == INVALID_SOCKET) return;
    FThread = std::thread([this] { Serve(); });
  }
  ~THoldingService() {
    Release();
    closesocket(FSocket);
    if (FThread.joinable()) FThread.join();
    WSACleanup();
  }
  bool Listening() const { return FThread.joinable(); }
  bool WaitReceived() const { return WaitFor([this] { return FReceived.load(); }); }
  int Connections() const { return FConnections; }
  void Release() { FRelease = true; }

 private:
  void Serve() {
    SOCKET client = accept(FSocket, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    ++FConnections;
    std::string raw;
    char buf[8192];
    for (;;) {
      const size_t end = raw.find("\r\n\r\n");
      if (end != std::string::npos) {
        const size_t at = raw.find("Content-Length: ");
        if (at != std::string::npos && raw.size() >= end + 4 + std::stoul(raw.substr(at + 16))) break;
      }
      const int n = recv(client, buf, sizeof(buf), 0);
      if (n <= 0) break;
      raw.append(buf, static_cast<size_t>(n));
    }
    FReceived = true;
    WaitFor([this] { return FRelease.load(); }, 30s);
    const std::string body = kSuccess;
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body;
    send(client, reply.data(), static_cast<int>(reply.size()), 0);
    shutdown(client, SD_SEND);
    closesocket(client);
    // Any further connection is only counted.
    u_long nonblocking = 1;
    ioctlsocket(FSocket, FIONBIO, &nonblocking);
    for (int i = 0; i < 10; ++i) {
      SOCKET more = accept(FSocket, nullptr, nullptr);
      if (more != INVALID_SOCKET) ++FConnections, closesocket(more);
      Sleep(20);
    }
  }
  SOCKET FSocket = INVALID_SOCKET;
  std::thread FThread;
  std::atomic<bool> FReceived{false}, FRelease{false};
  std::atomic<int> FConnections{0};
};

// A bottom taskbar of the test's own, found by the program as the system's.
class TTaskbar {
 public:
  explicit TTaskbar(int height) {
    std::atomic<bool> ready{false};
    FThread = std::thread([this, height, &ready] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"Shell_TrayWnd";
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
      RegisterClassW(&wc);
      const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
      FWnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, h - height, w, height, nullptr,
                             nullptr, wc.hInstance, nullptr);
      ShowWindow(FWnd, SW_SHOWNOACTIVATE);
      FThreadId = GetCurrentThreadId();
      ready = true;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      DestroyWindow(FWnd);
    });
    while (!ready) Sleep(5);
  }
  ~TTaskbar() {
    PostThreadMessageW(FThreadId, WM_QUIT, 0, 0);
    FThread.join();
  }
  HWND Handle() const { return FWnd; }

 private:
  HWND FWnd = nullptr;
  DWORD FThreadId = 0;
  std::thread FThread;
};

TEST_F(Upload, SendsThePictureAsReceivedAndOpensTheLink) {
  THttpServer server(80);
  ASSERT_TRUE(server.Listening()) << "port 80 is taken";
  server.SetReply(200, kSuccess, "application/json");
  TPatternWindow pattern(300, 200, 120, 90);
  TUrlLog urls;
  auto v = TVantoru::Start();
  SetCursorPos(1270, 10);

  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(server.WaitForRequests(1));
  EXPECT_TRUE(urls.WaitForUrl("http://127.0.0.1/i/Ab1.png"));
  EXPECT_EQ(WaitMessageBox(v.Process().Pid(), 300ms), nullptr);

  const THttpRequest req = server.Requests()[0];
  EXPECT_EQ(req.RequestLine, "POST /image HTTP/1.0");
  // The program's two header lines, in their order, once each.
  int host = -1, type = -1, hosts = 0;
  for (size_t i = 0; i < req.Headers.size(); ++i) {
    if (req.Headers[i].first == "Host") host = static_cast<int>(i), ++hosts;
    if (req.Headers[i].first == "Content-Type") type = static_cast<int>(i);
  }
  EXPECT_EQ(hosts, 1);
  EXPECT_EQ(req.Header("Host"), "127.0.0.1:80");
  ASSERT_GE(host, 0);
  EXPECT_GT(type, host);
  EXPECT_EQ(req.Header("User-Agent"), "Vantoru Uploader");
  EXPECT_EQ(req.Header("Content-Length"), std::to_string(req.Body.size()));

  const std::string boundary = BoundaryOf(req);
  EXPECT_TRUE(std::regex_match(boundary, std::regex("-------[A-Za-z]+[0-9A-F]{16}"))) << boundary;
  const std::string head = "--" + boundary +
                           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"vantoru.png\"\r\n"
                           "Content-Type: image/png\r\n\r\n";
  const std::string tail = "\r\n--" + boundary + "--\r\n";
  ASSERT_GT(req.Body.size(), head.size() + tail.size());
  EXPECT_EQ(req.Body.substr(0, head.size()), head);
  EXPECT_EQ(req.Body.substr(req.Body.size() - tail.size()), tail);

  // The file part is a PNG of the screen as it was.
  const TPixels png = DecodeBytes(req.Body.substr(head.size(), req.Body.size() - head.size() - tail.size()));
  ASSERT_EQ(png.Width, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_EQ(png.Height, GetSystemMetrics(SM_CYSCREEN));
  int wrong = 0;
  for (int y = 200; y < 290; ++y)
    for (int x = 300; x < 420; ++x) wrong += png.At(x, y) != pattern.Expected(x, y);
  EXPECT_EQ(wrong, 0);

  // Every upload has a boundary of its own.
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(server.WaitForRequests(2));
  const std::string second = BoundaryOf(server.Requests()[1]);
  EXPECT_FALSE(second.empty());
  EXPECT_NE(second, boundary);
}

TEST_F(Upload, AnythingButASuccessWithAWebAddressFailsAndOpensNothing) {
  THttpServer server(80);
  ASSERT_TRUE(server.Listening()) << "port 80 is taken";
  TUrlLog urls;
  auto v = TVantoru::Start();
  const struct {
    int Status;
    const char* Body;
  } cases[] = {
      {200, R"({"status":"error","message":"file too large"})"},
      {200, R"({"STATUS":"SUCCESS","url":"http://127.0.0.1/i/upper.png"})"},
      {404, kSuccess},
      {500, kSuccess},
      {200, R"({"status":"success"})"},
      {200, R"({"status":"success","url":"file:\/\/\/C:\/windows\/system32\/calc.exe"})"},
      {200, R"({"status":"success","url":"calc.exe"})"},
  };
  size_t requests = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Status) + " " + c.Body);
    server.SetReply(c.Status, c.Body, "application/json");
    auto reply = v.SendCommandAsync(kCapture);
    HWND box = WaitMessageBox(v.Process().Pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Image upload failed.");
    EXPECT_EQ(WindowText(box), L"Vantoru");
    EXPECT_EQ(server.Requests().size(), ++requests);  // it did reach the service
    AnswerMessageBox(box);
    EXPECT_EQ(reply.get(), 1);
  }
  Sleep(300);
  EXPECT_TRUE(urls.Urls().empty());
}

TEST_F(Upload, ProgressBarStaysUntilTheFailureIsAnswered) {
  // No service listens: the connection is refused.
  auto v = TVantoru::Start();
  auto reply = v.SendCommandAsync(kCapture);
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Image upload failed.");

  HWND bar = ProgressWindow(v.Process().Pid());
  ASSERT_NE(bar, nullptr);
  RECT r{};
  GetWindowRect(bar, &r);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, w);
  EXPECT_EQ(r.bottom, h);
  EXPECT_EQ(r.bottom - r.top, 30);
  const LONG ex = GetWindowLongW(bar, GWL_EXSTYLE);
  EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST),
            WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(bar, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 140);
  EXPECT_TRUE(flags & LWA_ALPHA);
  // Clicks pass through it.
  EXPECT_NE(WindowFromPoint(POINT{20, h - 15}), bar);
  // Nothing was sent: the gauge's dark red, with the white label in the middle only.
  const TPixels px = ReadScreen(0, h - 30, w, 30);
  EXPECT_EQ(px.At(2, 2), 0x400000u);
  EXPECT_EQ(px.At(w - 3, 27), 0x400000u);
  int whiteLeft = 0, whiteMiddle = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < w; ++x)
      if (ColorDistance(px.At(x, y), 0xFFFFFF) < 60) ++(x < w / 2 - 150 || x > w / 2 + 150 ? whiteLeft : whiteMiddle);
  EXPECT_GT(whiteMiddle, 20);
  EXPECT_EQ(whiteLeft, 0);

  AnswerMessageBox(box);
  EXPECT_EQ(reply.get(), 1);
  EXPECT_TRUE(WaitFor([&] { return ProgressWindow(v.Process().Pid()) == nullptr; }, 3s));
}

TEST_F(Upload, RunsOffTheInterfaceThreadAboveABottomTaskbar) {
  THoldingService service;
  ASSERT_TRUE(service.Listening()) << "port 80 is taken";
  TTaskbar taskbar(40);
  ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), taskbar.Handle());
  TUrlLog urls;
  auto v = TVantoru::Start();
  auto reply = v.SendCommandAsync(kCapture);
  ASSERT_TRUE(service.WaitReceived());

  // The service keeps its answer: the interface thread goes on meanwhile.
  HWND bar = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (bar = ProgressWindow(v.Process().Pid())) != nullptr; }));
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(v.Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result));
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  RECT r{};
  GetWindowRect(bar, &r);
  EXPECT_EQ(r.top, h - 40 - 30);
  EXPECT_EQ(r.bottom, h - 40);
  // The whole body is sent: the bar is red from end to end, the label white.
  EXPECT_TRUE(WaitFor([&] {
    const TPixels px = ReadScreen(0, r.top, w, 30);
    return px.At(1, 1) == 0xFF0000u && px.At(w - 2, 28) == 0xFF0000u && px.At(w / 2 - 200, 15) == 0xFF0000u;
  }, 3s));
  // Another request meanwhile is ignored.
  EXPECT_EQ(v.SendCommand(kCapture), 1);

  service.Release();
  EXPECT_EQ(reply.get(), 1);
  EXPECT_TRUE(urls.WaitForUrl("http://127.0.0.1/i/Ab1.png"));
  EXPECT_EQ(ProgressWindow(v.Process().Pid()), nullptr);
  EXPECT_EQ(service.Connections(), 1);
}

}  // namespace

namespace {

// Keeps the first bytes a client sends on its first connection; every connection is closed
// after its first bytes, so a client that tries again fails again at once.
class TFirstBytes {
 public:
  TFirstBytes() {
    FSocket = ListenLoopback(0, &FPort);
    FThread = std::thread([this] {
      for (SOCKET c; (c = accept(FSocket, nullptr, nullptr)) != INVALID_SOCKET; closesocket(c)) {
        std::string got;
        char buf[4096];
        for (int n; got.size() < 64 && (n = recv(c, buf, sizeof(buf), 0)) > 0;) got.append(buf, static_cast<size_t>(n));
        if (FDone) continue;
        {
          std::lock_guard<std::mutex> g(FLock);
          FBytes = got;
        }
        FDone = true;
      }
    });
  }
  ~TFirstBytes() {
    closesocket(FSocket);
    FThread.join();
    WSACleanup();
  }
  uint16_t Port() const { return FPort; }
  bool Wait() const { return WaitFor([this] { return FDone.load(); }); }
  std::string Bytes() const {
    std::lock_guard<std::mutex> g(FLock);
    return FBytes;
  }

 private:
  SOCKET FSocket = INVALID_SOCKET;
  uint16_t FPort = 0;
  std::thread FThread;
  mutable std::mutex FLock;
  std::string FBytes;
  std::atomic<bool> FDone{false};
};

// The tests' own upload host must not hide the user's setting.
const std::vector<std::wstring> kUserSettingsOnly = {L"VANTORU_UPLOAD_HOST=", L"VANTORU_SERVICE_URL="};

TEST_F(Upload, AnHttpsAddressIsSpokenToOnlyOverTls) {
  TFirstBytes tls;
  SetString(kSettingsKey, L"upload_url", L"https://127.0.0.1:" + std::to_wstring(tls.Port()));
  auto v = TVantoru::Start(L"", L"", {L"VANTORU_UPLOAD_HOST="});
  auto reply = v.SendCommandAsync(kCapture);
  ASSERT_TRUE(tls.Wait());
  // A TLS handshake record (content type 22, version 3.x), and no request in clear text.
  const std::string first = tls.Bytes();
  ASSERT_GE(first.size(), 3u);
  EXPECT_EQ(first[0], '\x16');
  EXPECT_EQ(first[1], '\x03');
  EXPECT_EQ(first.find("POST"), std::string::npos);
  // The handshake went nowhere: the upload fails as any other.
  HWND box = WaitMessageBox(v.Process().Pid(), 30s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Image upload failed.");
  AnswerMessageBox(box);
  EXPECT_EQ(reply.get(), 1);
}

TEST_F(Upload, PlainHttpOnlyWhereTheUsersAddressSaysSo) {
  THttpServer server;
  server.SetReply(200, kSuccess, "application/json");
  TUrlLog urls;
  // The service's address with a path of its own; the upload's address is the service's.
  SetString(kSettingsKey, L"service_url", L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/shots/");
  auto v = TVantoru::Start(L"", L"", kUserSettingsOnly);
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& r : server.Requests())
      if (r.RequestLine.rfind("POST", 0) == 0) return true;
    return false;
  }));
  THttpRequest post;
  for (const auto& r : server.Requests())
    if (r.RequestLine.rfind("POST", 0) == 0) post = r;
  EXPECT_EQ(post.RequestLine, "POST /shots/image HTTP/1.0");
  EXPECT_EQ(post.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_TRUE(urls.WaitForUrl("http://127.0.0.1/i/Ab1.png"));

  // An address that is none: no upload anywhere, and the failure is said.
  SetString(kSettingsKey, L"upload_url", L"127.0.0.1:" + std::to_wstring(server.Port()));
  const size_t before = server.Requests().size();
  auto reply = v.SendCommandAsync(kCapture);
  HWND box = WaitMessageBox(v.Process().Pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Image upload failed.");
  AnswerMessageBox(box);
  EXPECT_EQ(reply.get(), 1);
  EXPECT_EQ(server.Requests().size(), before);
}

// The real vantoru-server that scripts/test.sh runs on loopback.
TEST_F(Upload, TheRealServiceServesBackTheCaptureItWasSent) {
  const std::string service = TestServerAddress();
  if (service.empty()) GTEST_SKIP() << "no vantoru-server (VANTORU_TEST_SERVER): run through scripts/test.sh";
  SetString(kSettingsKey, L"service_url", std::wstring(service.begin(), service.end()));
  TPatternWindow pattern(300, 200, 120, 90);
  TUrlLog urls;
  auto v = TVantoru::Start(L"", L"", kUserSettingsOnly);
  SetCursorPos(1270, 10);
  EXPECT_EQ(v.SendCommand(kCapture), 1);
  ASSERT_TRUE(urls.WaitForUrl(service + "/i/"));
  EXPECT_EQ(WaitMessageBox(v.Process().Pid(), 300ms), nullptr);
  std::string link;
  for (const std::string& u : urls.Urls())
    if (u.rfind(service + "/i/", 0) == 0) link = u;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(link, m, std::regex(std::regex_replace(service, std::regex("[.]"), "\\.") +
                                                   "/i/([A-Za-z0-9_-]{22})\\.png")))
      << link;

  // The link serves the very bytes the service keeps, as a PNG that is not sniffed.
  const THttpReply served = HttpGet(link);
  ASSERT_EQ(served.Status, 200);
  EXPECT_EQ(served.Header("Content-Type"), "image/png");
  EXPECT_EQ(served.Header("X-Content-Type-Options"), "nosniff");
  const std::string id = m[1];
  const std::wstring stored = TestServerData() + L"images\\" + std::wstring(id.begin(), id.begin() + 2) + L"\\" +
                              std::wstring(id.begin(), id.end()) + L".png";
  std::ifstream in(stored.c_str(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), served.Body);

  // And it is the screen as it was.
  const TPixels png = DecodeBytes(served.Body);
  ASSERT_EQ(png.Width, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_EQ(png.Height, GetSystemMetrics(SM_CYSCREEN));
  int wrong = 0;
  for (int y = 200; y < 290; ++y)
    for (int x = 300; x < 420; ++x) wrong += png.At(x, y) != pattern.Expected(x, y);
  EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

// Pictures the real service keeps.
size_t StoredImages() {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(TestServerData() + L"images", ec))
    n += e.path().extension() == L".png";
  return n;
}

// The real vantoru-server behind a TLS front (stunnel, as a reverse proxy would be) whose
// self-signed certificate nobody trusts: the handshake is made, the certificate refused, and
// the picture is never sent.
TEST_F(Upload, AServiceWhoseCertificateIsNotTrustedGetsNoPicture) {
  const std::string tls = TestServerTlsAddress();
  if (tls.empty()) GTEST_SKIP() << "no TLS front (VANTORU_TEST_SERVER_TLS): run through scripts/test.sh";
  SetString(kSettingsKey, L"upload_url", std::wstring(tls.begin(), tls.end()));
  TUrlLog urls;
  const size_t before = StoredImages();
  auto v = TVantoru::Start(L"", L"", {L"VANTORU_UPLOAD_HOST="});
  auto reply = v.SendCommandAsync(kCapture);
  HWND box = WaitMessageBox(v.Process().Pid(), 30s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Image upload failed.");
  AnswerMessageBox(box);
  EXPECT_EQ(reply.get(), 1);
  EXPECT_EQ(StoredImages(), before);
  EXPECT_TRUE(urls.Urls().empty());
}

}  // namespace
