#include "ImageId.h"

#include <algorithm>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
}

std::string ImageIdFromBytes(const std::array<uint8_t, 16>& random) {
  std::string id;
  id.reserve(kImageIdLength);
  uint32_t bits = 0;
  int count = 0;
  for (uint8_t b : random) {
    bits = (bits << 8) | b;
    count += 8;
    while (count >= 6) {
      count -= 6;
      id.push_back(kAlphabet[(bits >> count) & 63]);
    }
  }
  if (count > 0) id.push_back(kAlphabet[(bits << (6 - count)) & 63]);
  return id;
}

bool IsImageId(std::string_view id) {
  return id.size() == kImageIdLength && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
         });
}
