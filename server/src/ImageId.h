// Image identifiers: 128 random bits as 22 characters of the URL-safe base64 alphabet. The
// only names the store ever builds a path from.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr size_t kImageIdLength = 22;

std::string ImageIdFromBytes(const std::array<uint8_t, 16>& random);
// Exactly 22 characters of A-Z a-z 0-9 '-' '_'.
bool IsImageId(std::string_view id);
