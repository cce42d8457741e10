#include "Service.h"

#include <chrono>
#include <ctime>

#include "ImageId.h"
#include "UploadParts.h"
#include "Pages.h"
#include "PngCheck.h"

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kHtml = "text/html; charset=utf-8";

void Error(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content("{\"status\":\"error\",\"message\":" + JsonText(message) + "}", kJson);
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool IsLoopback(const std::string& address) {
  return address.rfind("127.", 0) == 0 || address == "::1" || address.rfind("::ffff:127.", 0) == 0;
}

// Counted values come from clients: only known shapes are kept, so the table stays small.
std::string CountedVersion(const std::string& version) {
  const std::optional<TVersion> v = ParseVersion(version);
  if (!v) return "other";
  return std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." + std::to_string((*v)[2]) + "." +
         std::to_string((*v)[3]);
}

std::string CountedLanguage(const std::string& language) {
  for (const char* known : {"ko", "en", "ja", "ru", "it", "fr", "zh"})
    if (language == known) return language;
  return "other";
}

}  // namespace

size_t MaxUploadBody(size_t fileBytes) { return fileBytes + 64 * 1024; }

std::string UploadReply(const std::string& publicUrl, const std::string& id) {
  return "{\"status\":\"success\",\"url\":" + JsonText(publicUrl + "/i/" + id + ".png") + "}";
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char day[16];
  std::strftime(day, sizeof(day), "%Y-%m-%d", &utc);
  return day;
}

TVantoruService::TVantoruService(const TServerOptions& options, TLog log)
    : FOptions(options),
      FLog(std::move(log)),
      FDb((std::filesystem::create_directories(options.DataDir), (std::filesystem::path(options.DataDir) / "vantoru.db").string())),
      FStore(options.DataDir, FDb),
      FNotices(std::filesystem::path(options.DataDir) / "notices.json", FLog),
      FUploads(options.UploadsPerMinute) {
  Routes();
}

TVantoruService::~TVantoruService() { Stop(); }

void TVantoruService::Routes() {
  FHttp.set_payload_max_length(MaxUploadBody(FOptions.MaxUpload));
  FHttp.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "no-referrer"}});
  FHttp.Post("/image", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& r) {
    Upload(req, res, r);
  });
  FHttp.Get(R"(/i/([A-Za-z0-9_-]+)\.png)", [this](const auto& req, auto& res) { Image(req, res); });
  FHttp.Get("/api.init.php", [this](const auto& req, auto& res) { Startup(req, res); });
  FHttp.Get("/", [this](const auto& req, auto& res) { Help(req, res); });
  FHttp.Get("/vantoru", [this](const auto& req, auto& res) { Product(req, res); });
  FHttp.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    switch (res.status) {
      case 413: Error(res, 413, "the upload is too large"); break;
      case 404: Error(res, 404, "not found"); break;
      case 400: Error(res, 400, "bad request"); break;
      default: Error(res, res.status, "the request was refused"); break;
    }
  });
  FHttp.set_exception_handler([this](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
    std::string what = "unknown error";
    try {
      if (ep) std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    FLog(req.method + " " + req.path + ": " + what);
    Error(res, 500, "the service could not handle the request");
  });
}

int TVantoruService::Bind() {
  if (FOptions.ListenPort == 0) {
    const int port = FHttp.bind_to_any_port(FOptions.ListenHost);
    if (port <= 0) FLog("cannot listen on " + FOptions.ListenHost);
    return port > 0 ? port : -1;
  }
  if (!FHttp.bind_to_port(FOptions.ListenHost, FOptions.ListenPort)) {
    FLog("cannot listen on " + FOptions.ListenHost + ":" + std::to_string(FOptions.ListenPort));
    return -1;
  }
  return FOptions.ListenPort;
}

bool TVantoruService::Run() { return FHttp.listen_after_bind(); }

void TVantoruService::Stop() { FHttp.stop(); }

std::string TVantoruService::ClientAddress(const httplib::Request& req) const {
  if (FOptions.BehindProxy && IsLoopback(req.remote_addr) && req.has_header("X-Forwarded-For")) {
    // The proxy appends the address it saw last; earlier entries are the client's own say.
    std::string chain = req.get_header_value("X-Forwarded-For");
    const size_t comma = chain.rfind(',');
    std::string last = comma == std::string::npos ? chain : chain.substr(comma + 1);
    const size_t b = last.find_first_not_of(' '), e = last.find_last_not_of(' ');
    if (b != std::string::npos) return last.substr(b, e - b + 1);
  }
  return req.remote_addr;
}

void TVantoruService::Upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
  double retry = 0;
  const bool allowed = FUploads.Allow(RateKey(ClientAddress(req)), SteadySeconds(), &retry);
  // The body is read in any case (up to the limit), so that the answer reaches the client
  // instead of a reset connection.
  TUploadParts parts(FOptions.MaxUpload);
  bool complete = false, multipart = req.is_multipart_form_data();
  if (multipart) {
    complete = reader([&](const httplib::MultipartFormData& part) { return parts.Part(part.name); },
                      [&](const char* data, size_t length) { return parts.Data(std::string_view(data, length)); });
  } else {
    complete = reader([](const char*, size_t) { return true; });
  }
  if (!allowed) {
    res.set_header("Retry-After", std::to_string(static_cast<long>(retry) + 1));
    return Error(res, 429, "too many uploads; try again later");
  }
  if (!multipart) return Error(res, 400, "expected a multipart/form-data body");
  if (parts.Error() == TPartsError::TooLarge) return Error(res, 413, PartsErrorText(parts.Error()));
  if (parts.Error() != TPartsError::None) return Error(res, 400, PartsErrorText(parts.Error()));
  // The library refuses a body announced beyond the limit before reading it.
  if (!complete && res.status == 413) return Error(res, 413, "the upload is too large");
  if (!complete) return Error(res, 400, "the multipart body is malformed or cut short");
  if (parts.Finish() != TPartsError::None) return Error(res, 400, PartsErrorText(parts.Error()));
  const std::string& file = parts.File();
  TPngInfo info;
  const TPngVerdict verdict = CheckPng(file, TPngLimits{}, &info);
  if (verdict != TPngVerdict::Ok) return Error(res, 415, PngVerdictText(verdict));
  const std::string id = FStore.Put(file, info);
  FLog("stored " + id + ".png, " + std::to_string(file.size()) + " bytes, " + std::to_string(info.Width) + "x" +
       std::to_string(info.Height));
  res.set_header("Cache-Control", "no-store");
  res.set_content(UploadReply(FOptions.PublicUrl, id), kJson);
}

void TVantoruService::Image(const httplib::Request& req, httplib::Response& res) {
  const std::string id = req.matches[1];
  std::optional<std::string> bytes = FStore.Get(id);
  if (!bytes) return Error(res, 404, "no such image");
  // An image never changes under its identifier.
  res.set_header("Cache-Control", "public, max-age=31536000, immutable");
  res.set_header("Content-Security-Policy", "default-src 'none'; sandbox");
  res.set_content(std::move(*bytes), "image/png");
}

void TVantoruService::Startup(const httplib::Request& req, httplib::Response& res) {
  const std::string version = req.get_header_value("User-Version");
  const std::string language = req.get_header_value("User-Language");
  res.set_header("Cache-Control", "no-store");
  if (req.get_header_value("User-Command") == "hold") {
    FDb.CountHold(Today(), CountedVersion(version));
    return res.set_content("{\"status\":\"ok\"}", kJson);
  }
  FDb.CountStart(Today(), CountedVersion(version), CountedLanguage(language), !req.get_header_value("User-Union").empty());
  res.set_content(FNotices.Current()->Reply(version, language), kJson);
}

void TVantoruService::Help(const httplib::Request& req, httplib::Response& res) {
  res.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
  res.set_content(HelpPage(req.get_param_value("msg"), PageLanguage(req.get_header_value("Accept-Language"))), kHtml);
}

void TVantoruService::Product(const httplib::Request& req, httplib::Response& res) {
  const std::string language = PageLanguage(req.get_header_value("Accept-Language"));
  const TNotice latest = FNotices.Current()->For(language);
  res.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
  res.set_content(ProductPage(req.get_param_value("v"), language, latest.UpdateVersion, latest.UpdateLink), kHtml);
}
