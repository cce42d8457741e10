// The command another program sends with WM_COPYDATA: a NUL-terminated UTF-16LE text
// holding one JSON object whose text member "command" names what to do.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// `data`/`bytes` are exactly what the sender gave; nothing past `bytes` is read.
// Returns the "command" member, or nothing when the text has no NUL within `bytes`, is not
// a JSON object, or has no text member "command".
std::optional<std::wstring> ParseCopyDataCommand(const void* data, size_t bytes);
