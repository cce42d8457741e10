// The maker's notices file and the start-up call's reply built from it.
//
// The file is a JSON object keyed by interface language code ("ko", "en", ...) and "default":
//   {"default": {"update": {"version": "1.2.0.0", "link": "https://..."},
//                "notice": {"style": "note", "text": "...", "url": "https://...", "flag": ""}},
//    "ko": {"notice": {"text": "..."}}}
// A language's entry takes every field it does not give from "default".
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A file that is not as above; the message says where.
class ENoticeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TVersion = std::array<uint32_t, 4>;
// "a.b.c.d" with one to four decimal parts (missing ones are 0); nothing for anything else.
std::optional<TVersion> ParseVersion(std::string_view text);

struct TNoticeEntry {
  std::optional<std::string> UpdateVersion, UpdateLink;
  std::optional<std::string> Style, Text, Flag, Url;
};

struct TNotice {
  std::string UpdateVersion, UpdateLink;
  std::string Style, Text, Flag, Url;
};

class TNoticeBoard {
 public:
  TNoticeBoard() = default;
  // Raises ENoticeError.
  static TNoticeBoard Parse(std::string_view json);

  // The entry for a language: its own fields over those of "default".
  TNotice For(std::string_view language) const;
  // The start-up reply for a program of `version` in `language`: "update" only when the
  // offered version is newer than the program's; "info" when a notice is set.
  std::string Reply(std::string_view version, std::string_view language) const;

 private:
  std::map<std::string, TNoticeEntry, std::less<>> FEntries;
};

// A JSON string literal that the program's marker-based reader takes whole: besides the
// usual escapes, '/' is written "\/" and the quote and braces as \u escapes, so no value can
// end a member or the notice object early. UTF-8 passes through.
std::string JsonText(std::string_view utf8);
