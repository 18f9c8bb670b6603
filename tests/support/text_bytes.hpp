#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mossglow::testing_support {

// Text as the registry stores a string value: UTF-16 code units, little-endian.
inline std::vector<std::uint8_t> utf16le(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

}  // namespace mossglow::testing_support
