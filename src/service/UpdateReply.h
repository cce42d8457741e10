// The start-up call's rules that need no window: the request headers, the installation
// identifier, reading the reply, the retry loop and the texts of the update question.
#pragma once
#include "base/WebAddress.h"
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using THeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

// The four headers of the start-up request, in the order they are sent.
THeaderList StartupHeaders(const std::wstring& version, const std::wstring& language, const std::wstring& installId);
// The "hold" request carries exactly these two.
THeaderList HoldHeaders(const std::wstring& version);

// The identifier's 32 characters from its parts: random numbers and the local date and time.
struct TInstallIdParts {
  uint32_t First = 0;   // 0 .. 2,147,483,646
  int Year = 0, Month = 0, Day = 0;
  uint32_t Middle = 0;  // 0 .. 65,534
  int Hour = 0, Minute = 0, Second = 0;
  uint32_t Last = 0;    // 0 .. 2,147,483,646
};
std::wstring FormatInstallId(const TInstallIdParts& parts);
// A new identifier from the program's random generator (seeded once) and the local clock.
std::wstring NewInstallId();

// A string member of a JSON text, read by markers ("name":" up to the next unescaped quote),
// the name compared ignoring case, escapes undone. Empty when absent.
std::wstring ReplyMember(std::wstring_view text, std::wstring_view name);

struct TServiceNotice {
  std::wstring Style, Text, Flag, Url;
};
struct TServiceReply {
  std::wstring Update;    // download link of a newer version; empty: no offer
  TServiceNotice Notice;  // read from the text of "info":{ up to its first closing brace
};
// Raises EConvertError for a broken \u escape in a member it reads.
TServiceReply ParseServiceReply(std::wstring_view reply);

enum class TNoticeKind { None, Line, Hold, Note };
TNoticeKind NoticeKindOf(const TServiceNotice& notice);
bool StaysOnTop(const TServiceNotice& notice);


// kind 0 the question, 1 the Yes caption, 2 the No caption, for the interface language.
std::wstring UpdateText(int kind, std::wstring_view language);

// The start-up call's attempts: up to `kAttempts`, stopping at the first that got a reply.
// After each failed one a pause of `kPauseSteps` sleeps of `kPauseStepMs`, each preceded by a
// look at `terminating`. The reply, empty after the last failure; nothing when the program
// ended during a pause.
inline constexpr int kAttempts = 60;
inline constexpr int kPauseSteps = 100;
inline constexpr unsigned kPauseStepMs = 10;
std::optional<std::string> CallWithRetries(const std::function<bool(std::string& reply)>& attempt,
                                           const std::function<void(unsigned ms)>& sleep,
                                           const std::function<bool()>& terminating);
