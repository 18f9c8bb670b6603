// The fake's system code page: Windows-1252, the ANSI code page of western Windows
// installations. Bytes 0x80-0x9F hold the typographic characters; the five that
// Windows leaves undefined map to the C1 control of the same value, as
// MultiByteToWideChar does for this code page.
#include <array>

#include "support/fake_windows.hpp"

namespace mossglow::fake {
namespace {

constexpr std::array<char16_t, 32> windows_1252_high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

OsResult<std::u16string> FakeEnvironment::ansi_to_utf16(std::string_view bytes) {
  if (ansi_failure_) return std::unexpected(*ansi_failure_);
  std::u16string units;
  units.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    units.push_back(byte >= 0x80 && byte <= 0x9F ? windows_1252_high[byte - 0x80]
                                                 : static_cast<char16_t>(byte));
  }
  return units;
}

}  // namespace mossglow::fake
