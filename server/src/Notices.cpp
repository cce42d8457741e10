#include "Notices.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>

namespace {

bool IsWebLink(std::string_view link) {
  const auto starts = [&](std::string_view p) { return link.substr(0, p.size()) == p; };
  const size_t host = starts("https://") ? 8 : starts("http://") ? 7 : 0;
  if (host == 0 || link.size() == host) return false;
  for (char c : link)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '"') return false;
  return true;
}

std::optional<std::string> Member(const nlohmann::json& object, const char* name, const std::string& where) {
  const auto it = object.find(name);
  if (it == object.end()) return std::nullopt;
  if (!it->is_string()) throw ENoticeError(where + "." + name + " must be a text");
  return it->get<std::string>();
}

TNoticeEntry ReadEntry(const nlohmann::json& entry, const std::string& where) {
  if (!entry.is_object()) throw ENoticeError(where + " must be an object");
  TNoticeEntry e;
  if (const auto update = entry.find("update"); update != entry.end()) {
    if (!update->is_object()) throw ENoticeError(where + ".update must be an object");
    e.UpdateVersion = Member(*update, "version", where + ".update");
    e.UpdateLink = Member(*update, "link", where + ".update");
    if (e.UpdateVersion && !e.UpdateVersion->empty() && !ParseVersion(*e.UpdateVersion))
      throw ENoticeError(where + ".update.version is not a version like 1.2.0.0");
    if (e.UpdateLink && !e.UpdateLink->empty() && !IsWebLink(*e.UpdateLink))
      throw ENoticeError(where + ".update.link must be an http or https address");
  }
  if (const auto notice = entry.find("notice"); notice != entry.end()) {
    if (!notice->is_object()) throw ENoticeError(where + ".notice must be an object");
    e.Style = Member(*notice, "style", where + ".notice");
    e.Text = Member(*notice, "text", where + ".notice");
    e.Flag = Member(*notice, "flag", where + ".notice");
    e.Url = Member(*notice, "url", where + ".notice");
    if (e.Url && !e.Url->empty() && !IsWebLink(*e.Url))
      throw ENoticeError(where + ".notice.url must be an http or https address");
  }
  return e;
}

void Take(std::string& into, const std::optional<std::string>& own, const std::optional<std::string>& fallback) {
  if (own) into = *own;
  else if (fallback) into = *fallback;
}

}  // namespace

std::optional<TVersion> ParseVersion(std::string_view text) {
  TVersion v{};
  size_t part = 0;
  while (true) {
    if (part == 4 || text.empty()) return std::nullopt;
    const size_t dot = text.find('.');
    const std::string_view digits = text.substr(0, dot);
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v[part]);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    ++part;
    if (dot == std::string_view::npos) return v;
    text.remove_prefix(dot + 1);
  }
}

TNoticeBoard TNoticeBoard::Parse(std::string_view json) {
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(json);
  } catch (const nlohmann::json::exception& e) {
    throw ENoticeError(std::string("not valid JSON: ") + e.what());
  }
  if (!root.is_object()) throw ENoticeError("the file must hold one JSON object");
  TNoticeBoard board;
  for (const auto& [language, entry] : root.items()) board.FEntries[language] = ReadEntry(entry, language);
  return board;
}

TNotice TNoticeBoard::For(std::string_view language) const {
  static const TNoticeEntry kNone;
  const auto fallback = FEntries.find(std::string_view("default"));
  const TNoticeEntry& base = fallback != FEntries.end() ? fallback->second : kNone;
  const auto own = FEntries.find(language);
  const TNoticeEntry& entry = own != FEntries.end() ? own->second : kNone;
  TNotice n;
  Take(n.UpdateVersion, entry.UpdateVersion, base.UpdateVersion);
  Take(n.UpdateLink, entry.UpdateLink, base.UpdateLink);
  Take(n.Style, entry.Style, base.Style);
  Take(n.Text, entry.Text, base.Text);
  Take(n.Flag, entry.Flag, base.Flag);
  Take(n.Url, entry.Url, base.Url);
  return n;
}

std::string TNoticeBoard::Reply(std::string_view version, std::string_view language) const {
  const TNotice n = For(language);
  const std::optional<TVersion> offered = ParseVersion(n.UpdateVersion), running = ParseVersion(version);
  const bool update = offered && running && *running < *offered && !n.UpdateLink.empty();
  std::string reply = "{\"status\":\"ok\"";
  if (update) reply += ",\"update\":" + JsonText(n.UpdateLink);
  if (!n.Style.empty()) {
    reply += ",\"info\":{\"style\":" + JsonText(n.Style) + ",\"text\":" + JsonText(n.Text) +
             ",\"flag\":" + JsonText(n.Flag) + ",\"url\":" + JsonText(n.Url) + "}";
  }
  reply += "}";
  return reply;
}

std::string JsonText(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '"':
      case '{':
      case '}':
      default:
        if (c < 0x20 || c == '"' || c == '{' || c == '}' || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof(esc), "\\u%04x", c);
          out += esc;
        } else {
          out.push_back(ch);
        }
    }
  }
  out += "\"";
  return out;
}
