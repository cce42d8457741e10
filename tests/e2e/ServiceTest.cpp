// The start-up call to the service, as the service sees it, and the update question it may
// bring, as the user sees it.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "e2e/Driver.h"
#include "e2e/HttpServer.h"
#include "e2e/Screen.h"
#include "service/Update.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kVuidKey = L"Software\\Dorvenix";

// Accepts connections and closes them at once: every attempt of the client fails.
class TDropServer {
 public:
  TDropServer() {
    FSocket = ListenLoopback(0, &FPort);
    FThread = std::thread([this] {
      for (;;) {
        SOCKET c = accept(FSocket, nullptr, nullptr);
        if (c == INVALID_SOCKET) return;
        {
          std::lock_guard<std::mutex> g(FLock);
          FTimes.push_back(std::chrono::steady_clock::now());
        }
        closesocket(c);
      }
    });
  }
  ~TDropServer() {
    closesocket(FSocket);
    FThread.join();
    WSACleanup();
  }
  uint16_t Port() const { return FPort; }
  std::vector<std::chrono::steady_clock::time_point> Times() const {
    std::lock_guard<std::mutex> g(FLock);
    return FTimes;
  }

 private:
  SOCKET FSocket = INVALID_SOCKET;
  uint16_t FPort = 0;
  std::thread FThread;
  mutable std::mutex FLock;
  std::vector<std::chrono::steady_clock::time_point> FTimes;
};

std::wstring ServiceEnv(uint16_t port) { return L"VANTORU_SERVICE_URL=http://127.0.0.1:" + std::to_wstring(port); }

std::string FileVersionOf(const std::wstring& path) {
  DWORD dummy = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &dummy));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len))
    return "0.0.0.0";
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(static_cast<char>(c));
  return s;
}

// The names of the headers a request carried, in order.
std::vector<std::string> HeaderNames(const THttpRequest& r) {
  std::vector<std::string> names;
  for (const auto& [n, v] : r.Headers) names.push_back(n);
  return names;
}

HWND WaitUpdateDialog(DWORD pid, std::chrono::milliseconds timeout = 10s) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        auto forms = ProcessWindows(pid, L"TMessageForm", true);
        found = forms.empty() ? nullptr : forms.front();
        return found != nullptr;
      },
      timeout);
  return found;
}

void Click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, id == updlg::Note ? STN_CLICKED : BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

RECT ClientRectOn(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class Service : public TE2ETest {};

TEST_F(Service, StartupRequestCarriesItsFourHeadersAndKeepsTheInstallationId) {
  THttpServer server;
  server.SetReply(200, R"({"result":"ok"})", "application/json");
  SetString(kSettingsKey, L"language", L"ja");
  std::string firstId;
  {
    auto v = TVantoru::Start(L"", L"", {ServiceEnv(server.Port())});
    ASSERT_TRUE(server.WaitForRequests(1));
    const THttpRequest r = server.Requests()[0];
    EXPECT_EQ(r.RequestLine, "GET /api.init.php HTTP/1.1");
    EXPECT_TRUE(r.Body.empty());
    // The four, in their order, whatever the client adds around them.
    std::vector<std::string> ours;
    for (const std::string& n : HeaderNames(r))
      if (n.rfind("User-", 0) == 0 && n != "User-Agent") ours.push_back(n);
    EXPECT_EQ(ours, (std::vector<std::string>{"User-Version", "User-Language", "User-Debug", "User-Union"}));
    EXPECT_EQ(r.Header("User-Version"), FileVersionOf(v.Exe()));
    EXPECT_EQ(r.Header("User-Language"), "ja");
    EXPECT_EQ(r.Header("User-Debug"), "false");
    firstId = r.Header("User-Union");
    EXPECT_EQ(firstId.size(), 32u);
    const auto stored = GetString(kVuidKey, L"VUID");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(Narrow(*stored), firstId);
    // One reply is enough: no second attempt, and a reply without an offer asks nothing.
    Sleep(1500);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(WaitUpdateDialog(v.Process().Pid(), 0ms), nullptr);
    ASSERT_TRUE(v.Quit());
  }
  // An identifier that exists is sent as it is and never made again.
  SetString(kVuidKey, L"VUID", L"0123456789ABCDEF0123456789ABCDEF");
  auto v = TVantoru::Start(L"", L"", {ServiceEnv(server.Port())});
  ASSERT_TRUE(server.WaitForRequests(2));
  EXPECT_EQ(server.Requests()[1].Header("User-Union"), "0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(GetString(kVuidKey, L"VUID"), std::optional<std::wstring>(L"0123456789ABCDEF0123456789ABCDEF"));
}

TEST_F(Service, RetriesOnceASecondAndStopsWhenTheProgramQuits) {
  TDropServer drop;
  auto v = TVantoru::Start(L"", L"", {ServiceEnv(drop.Port())});
  ASSERT_TRUE(WaitFor([&] { return drop.Times().size() >= 3; }, 8s));
  const auto times = drop.Times();
  const auto gap = times[2] - times[0];
  EXPECT_GE(gap, 1900ms);
  EXPECT_LE(gap, 3500ms);
  EXPECT_EQ(WaitUpdateDialog(v.Process().Pid(), 0ms), nullptr);

  const auto quitAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(v.Quit(5s));
  EXPECT_LT(std::chrono::steady_clock::now() - quitAt, 2s);
  const size_t seen = drop.Times().size();
  Sleep(1500);
  EXPECT_EQ(drop.Times().size(), seen);
}

class UpdateOffer : public TE2ETest {};

TEST_F(UpdateOffer, NoteLinkOpensAndStaysThenYesOpensTheDownloadAndQuits) {
  TUrlLog urls;
  THttpServer server;
  server.SetReply(200,
                  R"({"update":"https:\/\/dl.vantoru.test\/v2\/setup.exe","info":{"style":"note",)"
                  R"("text":"What is new","url":"http:\/\/notes.vantoru.test\/v2","flag":""}})");
  SetString(kSettingsKey, L"language", L"en");
  auto v = TVantoru::Start(L"", L"", {ServiceEnv(server.Port())});
  HWND dialog = WaitUpdateDialog(v.Process().Pid());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), WindowText(v.Window()));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, updlg::Question)),
            L"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\r"
            L"Do you want to download it?");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDYES)), L"Yes");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDNO)), L"No");
  EXPECT_EQ(GetDlgItem(dialog, updlg::Hold), nullptr);
  HWND note = GetDlgItem(dialog, updlg::Note);
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(WindowText(note), L"What is new");
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), v.Window());
  EXPECT_FALSE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // The separator lies between the buttons and the link, across the dialog, in its grey.
  HWND line = GetDlgItem(dialog, updlg::Separator);
  ASSERT_NE(line, nullptr);
  const RECT lineRect = ClientRectOn(dialog, line), yesRect = ClientRectOn(dialog, GetDlgItem(dialog, IDYES));
  const RECT noteRect = ClientRectOn(dialog, note);
  RECT client{};
  GetClientRect(dialog, &client);
  EXPECT_EQ(lineRect.bottom - lineRect.top, 1);
  EXPECT_GE(lineRect.top, yesRect.bottom);
  EXPECT_GT(noteRect.top, lineRect.top);
  EXPECT_LE(noteRect.bottom, client.bottom);
  RECT lineOnScreen{};
  GetWindowRect(line, &lineOnScreen);
  const TPixels px = ReadScreen(lineOnScreen.left + 20, lineOnScreen.top, 1, 1);
  EXPECT_EQ(px.At(0, 0), 0xCCCCCCu);

  Click(dialog, updlg::Note);
  EXPECT_TRUE(urls.WaitForUrl("http://notes.vantoru.test/v2"));
  EXPECT_TRUE(IsWindowVisible(dialog));

  Click(dialog, IDYES);
  EXPECT_TRUE(urls.WaitForUrl("https://dl.vantoru.test/v2/setup.exe"));
  EXPECT_TRUE(v.Process().WaitExit(10s).has_value());
}

TEST_F(UpdateOffer, TickedHoldSendsOneExtraRequestAndNoKeepsTheProgram) {
  TUrlLog urls;
  THttpServer server;
  server.SetReply(200, R"({"update":"https://dl.vantoru.test/setup.exe","info":{"style":"hold","text":"다시 묻지 않기"}})");
  SetString(kSettingsKey, L"language", L"ko");
  auto v = TVantoru::Start(L"", L"", {ServiceEnv(server.Port())});
  HWND dialog = WaitUpdateDialog(v.Process().Pid());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, updlg::Question)),
            L"업데이트가 정보가 있습니다.\r\r안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.\r\r다운로드 받으시겠습니까?");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDYES)), L"예");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDNO)), L"아니오");
  EXPECT_EQ(GetDlgItem(dialog, updlg::Note), nullptr);
  HWND hold = GetDlgItem(dialog, updlg::Hold);
  ASSERT_NE(hold, nullptr);
  EXPECT_EQ(WindowText(hold), L"다시 묻지 않기");
  EXPECT_GT(ClientRectOn(dialog, hold).top, ClientRectOn(dialog, GetDlgItem(dialog, updlg::Separator)).top);

  SendMessageW(hold, BM_SETCHECK, BST_CHECKED, 0);
  Click(dialog, IDNO);
  ASSERT_TRUE(server.WaitForRequests(2));
  const THttpRequest r = server.Requests()[1];
  EXPECT_EQ(r.RequestLine, "GET /api.init.php HTTP/1.1");
  EXPECT_EQ(r.Header("User-Version"), FileVersionOf(v.Exe()));
  EXPECT_EQ(r.Header("User-Command"), "hold");
  const std::vector<std::string> names = HeaderNames(r);
  for (const char* absent : {"User-Language", "User-Debug", "User-Union"})
    EXPECT_EQ(std::count(names.begin(), names.end(), absent), 0) << absent;
  Sleep(1000);
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(v.Process().Running());
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(urls.Urls().empty());
}

TEST_F(UpdateOffer, NoOfferForALinkThatIsNoWebAddress) {
  TUrlLog urls;
  THttpServer server;
  server.SetReply(200, R"({"update":"C:\\Windows\\System32\\calc.exe"})");
  auto v = TVantoru::Start(L"", L"", {ServiceEnv(server.Port())});
  ASSERT_TRUE(server.WaitForRequests(1));
  EXPECT_EQ(WaitUpdateDialog(v.Process().Pid(), 1500ms), nullptr);
  EXPECT_TRUE(v.Process().Running());
  EXPECT_TRUE(urls.Urls().empty());
}

struct TNoticeCase {
  const char* Name;
  const char* Info;
  const wchar_t* Args;
  bool Separator, Hold, OnTop, Ownerless;
};

class NoticeLayout : public TE2ETest, public ::testing::WithParamInterface<TNoticeCase> {};

TEST_P(NoticeLayout, PartsOwnerAndPlaceOfTheDialog) {
  const TNoticeCase& c = GetParam();
  THttpServer server;
  server.SetReply(200, std::string(R"({"update":"https://dl.vantoru.test/s.exe")") + c.Info + "}");
  auto v = TVantoru::Start(c.Args, L"", {ServiceEnv(server.Port())});
  HWND dialog = WaitUpdateDialog(v.Process().Pid());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetDlgItem(dialog, updlg::Separator) != nullptr, c.Separator);
  EXPECT_EQ(GetDlgItem(dialog, updlg::Hold) != nullptr, c.Hold);
  EXPECT_EQ(GetDlgItem(dialog, updlg::Note), nullptr);
  EXPECT_EQ((GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.OnTop);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), c.Ownerless ? nullptr : v.Window());
  // Centred on the screen.
  RECT r{};
  GetWindowRect(dialog, &r);
  EXPECT_LE(std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);
  Click(dialog, IDNO);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(v.Process().Running());
}

INSTANTIATE_TEST_SUITE_P(
    Notices, NoticeLayout,
    ::testing::Values(TNoticeCase{"NoNotice", "", L"", false, false, false, false},
                      TNoticeCase{"HoldInCapitalsOnTop", R"(,"info":{"style":"HOLD","text":"t","flag":"big stayontop now"})",
                                  L"", true, false, true, false},
                      TNoticeCase{"OnTopStartedHidden", R"(,"info":{"style":"line","flag":"stayontop"})", L"/start",
                                  true, false, true, true}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace

namespace {

// The real vantoru-server that scripts/test.sh runs on loopback, with a notices file the test
// writes into its data folder and removes again.
class RealService : public TE2ETest {
 protected:
  void TearDown() override {
    if (!FNotices.empty()) DeleteFileW(FNotices.c_str());
    TE2ETest::TearDown();
  }
  std::wstring FNotices;
};

TEST_F(RealService, StartupCallShowsTheNoticeOfTheNoticesFile) {
  const std::string service = TestServerAddress();
  if (service.empty()) GTEST_SKIP() << "no vantoru-server (VANTORU_TEST_SERVER): run through scripts/test.sh";
  FNotices = TestServerData() + L"notices.json";
  std::ofstream(FNotices.c_str(), std::ios::binary)
      << R"({"default": {"update": {"version": "999.0.0.0", "link": "https://dl.vantoru.test/999/setup.exe"},
                         "notice": {"style": "note", "text": "Notice", "url": "https://notes.vantoru.test/999?from=service"}},
             "en": {"notice": {"text": "What is new in \"999\" {all of it}"}}})";
  SetString(kSettingsKey, L"language", L"en");
  SetString(kSettingsKey, L"service_url", std::wstring(service.begin(), service.end()));
  TUrlLog urls;
  auto v = TVantoru::Start(L"", L"", {L"VANTORU_SERVICE_URL=", L"VANTORU_UPLOAD_HOST="});
  HWND dialog = WaitUpdateDialog(v.Process().Pid());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDYES)), L"Yes");
  HWND note = GetDlgItem(dialog, updlg::Note);
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(WindowText(note), L"What is new in \"999\" {all of it}");
  Click(dialog, updlg::Note);
  EXPECT_TRUE(urls.WaitForUrl("https://notes.vantoru.test/999?from=service"));
  Click(dialog, IDNO);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(v.Process().Running());
  for (const std::string& u : urls.Urls()) EXPECT_EQ(u.find("dl.vantoru.test"), std::string::npos) << u;
}

}  // namespace
