// The service over real loopback connections: the program's upload as WinINet sends it, the
// image served back, bad requests of every kind, the rate limit, the start-up call and the
// pages.
#include "Service.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

#include "ServerTestSupport.h"
#include "base/Text.h"
#include "outputs/UploadWire.h"
#include "service/UpdateReply.h"

using namespace srvtest;

namespace {

class TRunningService {
 public:
  explicit TRunningService(TServerOptions options = {}) : FDir(NewDataDir()) {
    options.ListenHost = "127.0.0.1";
    options.ListenPort = 0;
    options.DataDir = FDir.string();
    if (options.PublicUrl.empty()) options.PublicUrl = "https://shots.example.org";
    FService = std::make_unique<TVantoruService>(options, [this](const std::string& line) {
      std::lock_guard<std::mutex> g(FLogLock);
      FLog += line + "\n";
    });
    FPort = FService->Bind();
    FThread = std::thread([this] { FService->Run(); });
  }
  ~TRunningService() {
    FService->Stop();
    FThread.join();
    FService.reset();
    fs::remove_all(FDir);
  }
  int Port() const { return FPort; }
  const fs::path& Dir() const { return FDir; }
  std::string Log() {
    std::lock_guard<std::mutex> g(FLogLock);
    return FLog;
  }

  // An upload as the program makes it.
  TRawResponse Upload(const std::string& file, const std::string& extraHeaders = "") {
    const TProgramBody b = ProgramBody(file);
    return RawExchange(FPort, UploadHead(FPort, "multipart/form-data; boundary=" + b.Boundary, b.Body.size(),
                                         extraHeaders) + b.Body);
  }
  TRawResponse Get(const std::string& target, const std::string& headers = "") {
    return RawExchange(FPort, "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n");
  }

 private:
  fs::path FDir;
  std::unique_ptr<TVantoruService> FService;
  std::thread FThread;
  int FPort = -1;
  std::mutex FLogLock;
  std::string FLog;
};

std::string ErrorMessage(const TRawResponse& r) {
  const std::regex error(R"(\{"status":"error","message":"[^"]+"\})");
  return std::regex_match(r.Body, error) ? r.Body : "not an error reply: " + r.Body;
}

TEST(Service, TheProgramsUploadIsStoredAndServedByteForByte) {
  TRunningService service;
  ASSERT_GT(service.Port(), 0);
  const std::string png = ProgramPng(64, 48);
  const TRawResponse r = service.Upload(png);
  ASSERT_EQ(r.Status, 200) << r.Head << r.Body << service.Log();
  EXPECT_EQ(r.Header("Content-Type"), "application/json; charset=utf-8");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      r.Body, m, std::regex(R"(\{"status":"success","url":"https:\\/\\/shots\.example\.org\\/i\\/([A-Za-z0-9_-]{22})\.png"\})")))
      << r.Body;
  const std::string id = m[1];
  // The program's own reading of the reply.
  EXPECT_EQ(UploadLink(Utf8ToWide(r.Body)), Utf8ToWide("https://shots.example.org/i/" + id + ".png"));

  const TRawResponse image = service.Get("/i/" + id + ".png");
  ASSERT_EQ(image.Status, 200);
  EXPECT_EQ(image.Body, png);
  EXPECT_EQ(image.Header("Content-Type"), "image/png");
  EXPECT_EQ(image.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(image.Header("Cache-Control"), "public, max-age=31536000, immutable");
  // HEAD answers the same head without the bytes.
  const TRawResponse head = RawExchange(service.Port(), "HEAD /i/" + id + ".png HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.Status, 200);
  EXPECT_EQ(head.Header("Content-Length"), std::to_string(png.size()));

  // A second upload of the same picture is a new image.
  const TRawResponse again = service.Upload(png);
  ASSERT_EQ(again.Status, 200);
  EXPECT_EQ(again.Body.find(id), std::string::npos);
  EXPECT_EQ(FileCount(service.Dir() / "images"), 2u);
}

TEST(Service, UnknownImagesAndPathTricksAreNotFound) {
  TRunningService service;
  ASSERT_EQ(service.Upload(ProgramPng()).Status, 200);
  for (const char* target : {"/i/AAAAAAAAAAAAAAAAAAAAAA.png", "/i/../vantoru.db", "/i/..%2Fvantoru.db.png",
                             "/i/%2e%2e%2f%2e%2e%2fvantoru.png", "/i/AAAAAAAAAAAAAAAAAAAAAAAA.png", "/vantoru.db",
                             "/images/", "/notices.json", "/i/.png", "/tmp/"}) {
    const TRawResponse r = service.Get(target);
    EXPECT_EQ(r.Status, 404) << target;
    EXPECT_EQ(r.Header("Content-Type").rfind("image/", 0), std::string::npos) << target;
  }
}

TEST(Service, BadUploadsGetAClearErrorAndStoreNothing) {
  TServerOptions options;
  options.MaxUpload = 4096;
  TRunningService service(options);
  const int port = service.Port();
  const std::string png = ProgramPng(8, 8);
  const TProgramBody good = ProgramBody(png);
  const std::string type = "multipart/form-data; boundary=" + good.Boundary;
  const struct {
    const char* Name;
    std::string Request;
    int Status;
  } cases[] = {
      {"jpeg", UploadHead(port, type, ProgramBody("\xFF\xD8\xFF\xE0JFIF").Body.size()) + ProgramBody("\xFF\xD8\xFF\xE0JFIF").Body, 415},
      {"truncated png", UploadHead(port, type, ProgramBody(png.substr(0, png.size() - 5)).Body.size()) +
                            ProgramBody(png.substr(0, png.size() - 5)).Body, 415},
      {"wrong boundary", UploadHead(port, "multipart/form-data; boundary=-------Other", good.Body.size()) + good.Body, 400},
      {"no boundary", UploadHead(port, "multipart/form-data", good.Body.size()) + good.Body, 400},
      {"not multipart", UploadHead(port, "image/png", png.size()) + png, 400},
      {"body without its end", UploadHead(port, type, good.Body.size() - 10) + good.Body.substr(0, good.Body.size() - 10), 400},
      {"too large", UploadHead(port, type, ProgramBody(std::string(4097, 'x')).Body.size()) +
                        ProgramBody(std::string(4097, 'x')).Body, 413},
  };
  for (const auto& c : cases) {
    const TRawResponse r = RawExchange(port, c.Request);
    EXPECT_EQ(r.Status, c.Status) << c.Name << "\n" << r.Head << r.Body;
    EXPECT_EQ(ErrorMessage(r).rfind("{", 0), 0u) << c.Name << ": " << ErrorMessage(r);
  }
  // Bodies that are whole HTTP messages but cut multipart bodies, wherever the cut falls.
  const size_t head = good.Body.find("\r\n\r\n") + 4;
  for (size_t cut : {size_t{0}, size_t{5}, head - 10, head, head + 40, good.Body.size() / 2, good.Body.size() - 30,
                     good.Body.size() - 9}) {
    const std::string body = good.Body.substr(0, cut);
    const TRawResponse r = RawExchange(port, UploadHead(port, type, body.size()) + body);
    EXPECT_EQ(r.Status / 100, 4) << "cut at " << cut << ": " << r.Head << r.Body;
  }
  const std::string part = "Content-Disposition: form-data; name=\"file\"; filename=\"../../etc/x.png\"\r\n"
                           "Content-Type: image/png\r\n\r\n" + png + "\r\n";
  const std::string other = "Content-Disposition: form-data; name=\"other\"\r\n\r\nx\r\n";
  const std::string b = "--" + good.Boundary;
  for (const std::string& body : {b + "\r\n" + other + b + "--\r\n", b + "\r\n" + part + b + "\r\n" + part + b + "--\r\n"}) {
    const TRawResponse r = RawExchange(port, UploadHead(port, type, body.size()) + body);
    EXPECT_EQ(r.Status, 400) << r.Body;
    EXPECT_EQ(ErrorMessage(r).rfind("{", 0), 0u) << ErrorMessage(r);
  }
  // A body cut short by the client: the connection ends without an image.
  RawExchange(port, UploadHead(port, type, good.Body.size()) + good.Body.substr(0, 100), true);
  // Headers beyond any reason are refused, and the service keeps serving.
  const TRawResponse huge = RawExchange(port, UploadHead(port, type, good.Body.size(), "X-Big: " + std::string(20000, 'a') + "\r\n") + good.Body);
  EXPECT_NE(huge.Status, 200);
  const TRawResponse longLine = RawExchange(port, "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_NE(longLine.Status, 200);

  EXPECT_EQ(FileCount(service.Dir() / "images"), 0u);
  EXPECT_EQ(FileCount(service.Dir() / "tmp"), 0u);
  const TRawResponse ok = service.Upload(png);
  EXPECT_EQ(ok.Status, 200) << ok.Body;
  EXPECT_EQ(FileCount(service.Dir() / "images"), 1u);
}

TEST(Service, UploadsPerAddressAreLimited) {
  TServerOptions options;
  options.UploadsPerMinute = 2;
  options.BehindProxy = true;
  TRunningService service(options);
  const std::string png = ProgramPng(4, 4);
  EXPECT_EQ(service.Upload(png).Status, 200);
  EXPECT_EQ(service.Upload(png).Status, 200);
  const TRawResponse limited = service.Upload(png);
  EXPECT_EQ(limited.Status, 429);
  EXPECT_GE(std::stoi(limited.Header("Retry-After")), 1);
  EXPECT_EQ(FileCount(service.Dir() / "images"), 2u);
  // Behind the proxy each client counts for itself, by the address the proxy added last.
  EXPECT_EQ(service.Upload(png, "X-Forwarded-For: 198.51.100.7\r\n").Status, 200);
  EXPECT_EQ(service.Upload(png, "X-Forwarded-For: 203.0.113.1, 198.51.100.7\r\n").Status, 200);
  EXPECT_EQ(service.Upload(png, "X-Forwarded-For: 203.0.113.2, 198.51.100.7\r\n").Status, 429);
}

TEST(Service, StartupCallAnswersFromTheNoticesFileAndOnlyCounts) {
  TRunningService service;
  const std::string union_ = "0123456789ABCDEF2401021234FEDCBA";
  const std::string head = "User-Version: 1.0.0.0\r\nUser-Language: ko\r\nUser-Debug: false\r\nUser-Union: " + union_ + "\r\n";
  const auto call = [&] {
    const TRawResponse r = service.Get("/api.init.php", head);
    EXPECT_EQ(r.Status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "application/json; charset=utf-8");
    return ParseServiceReply(Utf8ToWide(r.Body));
  };
  // No file: nothing offered.
  EXPECT_EQ(call().Update, L"");

  const fs::path file = service.Dir() / "notices.json";
  std::ofstream(file) << R"({"default": {"update": {"version": "1.5.0.0", "link": "https://dl.example.org/1.5.exe"},
                                          "notice": {"style": "note", "text": "News", "url": "https://example.org/n"}},
                              "ko": {"notice": {"text": "소식"}}})";
  TServiceReply reply = call();
  EXPECT_EQ(reply.Update, L"https://dl.example.org/1.5.exe");
  EXPECT_EQ(reply.Notice.Text, L"소식");
  EXPECT_EQ(reply.Notice.Style, L"note");

  // An edit is read at the next call; a broken edit keeps what was in force.
  std::ofstream(file) << R"({"default": {"update": {"version": "1.6", "link": "https://dl.example.org/1.6.exe"}}})";
  EXPECT_EQ(call().Update, L"https://dl.example.org/1.6.exe");
  std::ofstream(file) << R"({"default": {"update": )";
  EXPECT_EQ(call().Update, L"https://dl.example.org/1.6.exe");
  EXPECT_NE(service.Log().find("notices.json: not valid JSON"), std::string::npos) << service.Log();

  // The "hold" request is counted apart.
  EXPECT_EQ(service.Get("/api.init.php", "User-Version: 1.0.0.0\r\nUser-Command: hold\r\n").Status, 200);
  const TRawResponse odd = service.Get("/api.init.php", "User-Version: <x>\r\nUser-Language: ../../etc\r\n");
  EXPECT_EQ(odd.Status, 200);

  TDatabase db((service.Dir() / "vantoru.db").string());
  std::vector<TStartCount> counts = db.Counts();
  ASSERT_EQ(counts.size(), 3u);
  const std::string today = Today();
  EXPECT_EQ(counts[0].Day, today);
  EXPECT_EQ(counts[0].Version, "1.0.0.0");
  EXPECT_EQ(counts[0].Language, "");
  EXPECT_EQ(counts[0].Holds, 1);
  EXPECT_EQ(counts[1].Language, "ko");
  EXPECT_EQ(counts[1].Starts, 4);
  EXPECT_EQ(counts[1].Identified, 4);
  EXPECT_EQ(counts[2].Version, "other");
  EXPECT_EQ(counts[2].Language, "other");
  EXPECT_EQ(counts[2].Identified, 0);

  // Neither the installation identifier nor a client address is kept anywhere in the folder.
  for (const auto& entry : fs::recursive_directory_iterator(service.Dir())) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.find(union_), std::string::npos) << entry.path();
    EXPECT_EQ(bytes.find("127.0.0.1"), std::string::npos) << entry.path();
  }
}

TEST(Service, HelpAndProductPagesInTheBrowsersLanguage) {
  TRunningService service;
  const TRawResponse webp = service.Get("/?app=vantoru&msg=webpnotfound", "Accept-Language: fr-CH, fr;q=0.9\r\n");
  ASSERT_EQ(webp.Status, 200);
  EXPECT_EQ(webp.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(webp.Body.find("<html lang=\"fr\">"), std::string::npos);
  EXPECT_NE(webp.Body.find("libwebp.dll est introuvable"), std::string::npos);
  const TRawResponse ffmpeg = service.Get("/?app=vantoru&msg=ffmpegnotfound", "Accept-Language: ko-KR\r\n");
  EXPECT_NE(ffmpeg.Body.find("ffmpeg.exe 파일이 없습니다"), std::string::npos);
  const TRawResponse product = service.Get("/vantoru?v=4.0.8.0");
  ASSERT_EQ(product.Status, 200);
  EXPECT_NE(product.Body.find("Your version: 4.0.8.0"), std::string::npos);
}

}  // namespace
