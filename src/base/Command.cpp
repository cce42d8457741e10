#include "base/Command.h"

#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Text.h"

namespace {

// Reads only the top-level "command" member; the rest of the text is checked for syntax
// but never built into a tree, so neither size nor nesting costs more than a scan.
class TCommandSax : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::optional<std::string> Command;
  bool TopIsObject = false;

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t& val) override {
    if (FDepth == 1 && FAtCommand && !Command) Command = val;
    return Value();
  }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override {
    if (FDepth == 0) TopIsObject = true;
    return Open();
  }
  bool key(string_t& val) override {
    FAtCommand = FDepth == 1 && val == "command";
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool Value() {
    FAtCommand = false;
    return true;
  }
  bool Open() {
    FAtCommand = false;
    ++FDepth;
    return true;
  }
  bool Close() {
    --FDepth;
    return true;
  }
  size_t FDepth = 0;
  bool FAtCommand = false;
};

}  // namespace

std::optional<std::wstring> ParseCopyDataCommand(const void* data, size_t bytes) {
  if (!data) return std::nullopt;
  const size_t units = bytes / 2;
  std::vector<uint16_t> text(units);
  if (units) std::memcpy(text.data(), data, units * 2);
  size_t len = 0;
  while (len < units && text[len] != 0) ++len;
  if (len == units) return std::nullopt;  // no terminating NUL inside the record

  const std::string utf8 = Utf16ToUtf8(text.data(), len);
  TCommandSax sax;
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(utf8, &sax, nlohmann::json::input_format_t::json, true);
  } catch (...) {
    ok = false;
  }
  if (!ok || !sax.TopIsObject || !sax.Command) return std::nullopt;
  return Utf8ToWide(*sax.Command);
}
