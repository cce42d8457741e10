// Another program's WM_COPYDATA record, byte for byte as it arrives.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Command.h"
#include "base/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so reading past the record is caught.
  std::vector<uint8_t> record(data, data + size);
  const auto command = ParseCopyDataCommand(record.empty() ? nullptr : record.data(), record.size());
  if (!command) return 0;

  // A command was found: the text up to the first NUL must be a JSON object holding a
  // "command" member, as a full parse sees it.
  std::vector<uint16_t> units(size / 2);
  std::memcpy(units.data(), data, units.size() * 2);
  size_t len = 0;
  while (len < units.size() && units[len] != 0) ++len;
  if (len == units.size()) std::abort();  // accepted without a terminating NUL
  const auto tree = nlohmann::json::parse(Utf16ToUtf8(units.data(), len), nullptr, false);
  if (tree.is_discarded() || !tree.is_object() || !tree.contains("command")) std::abort();
  return 0;
}
