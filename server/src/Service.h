// The HTTP side of vantoru-server: the routes on a cpp-httplib server.
//   POST /image            the program's upload (multipart body, one PNG file part)
//   GET  /i/<id>.png       a stored image
//   GET  /api.init.php     the start-up call: notices and update offer, counted
//   GET  /?app=vantoru&msg=...   the help pages;  GET /vantoru?v=...   the product page
#pragma once
#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

#include "Database.h"
#include "ImageStore.h"
#include "NoticeFile.h"
#include "Options.h"
#include "RateLimit.h"

class TVantoruService {
 public:
  using TLog = std::function<void(const std::string&)>;
  // Opens the data folder (creating what is missing). Raises on failure.
  TVantoruService(const TServerOptions& options, TLog log);
  ~TVantoruService();

  // The port bound, or -1 (the reason is logged).
  int Bind();
  // Serves until Stop(); false when the server could not run.
  bool Run();
  void Stop();

 private:
  void Routes();
  void Upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
  void Image(const httplib::Request& req, httplib::Response& res);
  void Startup(const httplib::Request& req, httplib::Response& res);
  void Help(const httplib::Request& req, httplib::Response& res);
  void Product(const httplib::Request& req, httplib::Response& res);
  std::string ClientAddress(const httplib::Request& req) const;

  TServerOptions FOptions;
  TLog FLog;
  TDatabase FDb;
  TImageStore FStore;
  TNoticeFile FNotices;
  TRateLimiter FUploads;
  httplib::Server FHttp;
};

// The multipart body's size around a file of `fileBytes`: what the server reads at most.
size_t MaxUploadBody(size_t fileBytes);
// The reply to a successful upload, slashes escaped: {"status":"success","url":"..."}.
std::string UploadReply(const std::string& publicUrl, const std::string& id);
// The "YYYY-MM-DD" of now, in UTC.
std::string Today();
