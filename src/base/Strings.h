// Cutting values out of texts between markers, and undoing JSON string escapes.
// Positions are 1-based code-unit indexes; 0 means "not found".
#pragma once
#include <string>
#include <string_view>

std::wstring TextBetweenFrom(std::wstring_view source, std::wstring_view startMarker,
                             std::wstring_view endMarker, size_t& position);
std::wstring TextBetween(std::wstring_view source, std::wstring_view startMarker,
                         std::wstring_view endMarker, bool keepMarkers = false);
// Raises EConvertError for a \u escape that is not followed by hexadecimal digits.
std::wstring UnescapeJsonText(std::wstring_view text);
