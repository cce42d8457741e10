// What vantoru-server reads from outside or from the maker: uploaded files, the notices file,
// the browser's language. The start-up reply built from any notices file must be JSON that
// the program's own marker-based reader takes back as written.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "Notices.h"
#include "Pages.h"
#include "PngCheck.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "service/UpdateReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  TPngInfo info;
  if (CheckPng(text, TPngLimits{}, &info) == TPngVerdict::Ok) {
    if (text.substr(text.size() - 12) != std::string_view("\0\0\0\0IEND\xAE\x42\x60\x82", 12)) std::abort();
    if (info.Width == 0 || info.Height == 0) std::abort();
  }

  const std::string language = PageLanguage(text);
  if (language.size() != 2) std::abort();

  TNoticeBoard board;
  try {
    board = TNoticeBoard::Parse(text);
  } catch (const ENoticeError&) {
    return 0;
  }
  for (const char* lang : {"en", "ko", "xx"}) {
    const TNotice notice = board.For(lang);
    const std::string reply = board.Reply("0.0.0.1", lang);
    if (!nlohmann::json::accept(reply)) std::abort();
    TServiceReply read;
    try {
      read = ParseServiceReply(Utf8ToWide(reply));
    } catch (const EConvertError&) {
      std::abort();  // the service writes only whole escapes
    }
    const bool offered = !notice.UpdateLink.empty() && ParseVersion(notice.UpdateVersion) &&
                         *ParseVersion("0.0.0.1") < *ParseVersion(notice.UpdateVersion);
    if (read.Update != (offered ? Utf8ToWide(notice.UpdateLink) : std::wstring())) std::abort();
    if (!notice.Style.empty() && (read.Notice.Style != Utf8ToWide(notice.Style) ||
                                  read.Notice.Text != Utf8ToWide(notice.Text) ||
                                  read.Notice.Url != Utf8ToWide(notice.Url)))
      std::abort();
  }
  return 0;
}
