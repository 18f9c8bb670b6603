#include "platform/text.hpp"

#include <algorithm>
#include <cstdint>

namespace mossglow {
namespace {

constexpr char32_t replacement_character = 0xFFFD;

// Decodes one UTF-8 or WTF-8 sequence at `pos`; surrogate code points are accepted
// only when `allow_surrogates` is set. Returns nothing for an ill-formed sequence.
std::optional<char32_t> decode_one(std::string_view s, std::size_t& pos, bool allow_surrogates) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (pos + length > s.size()) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF) return std::nullopt;
  if (value >= 0xD800 && value <= 0xDFFF && !allow_surrogates) return std::nullopt;
  pos += length;
  return value;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

enum class Unpaired { keep, replace, reject };

std::optional<std::string> from_utf16(std::u16string_view text, Unpaired unpaired) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (unpaired == Unpaired::reject) return std::nullopt;
      if (unpaired == Unpaired::replace) c = replacement_character;
    }
    append_utf8(out, c);
  }
  return out;
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

}  // namespace

std::u16string to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto decoded = decode_one(text, pos, /*allow_surrogates=*/true);
    char32_t c = replacement_character;
    if (decoded) {
      c = *decoded;
    } else {
      ++pos;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string to_wtf8(std::u16string_view text) { return *from_utf16(text, Unpaired::keep); }

std::string to_utf8_lossy(std::u16string_view text) { return *from_utf16(text, Unpaired::replace); }

std::string path_display_text(std::string_view path) {
  return is_valid_utf8(path) ? std::string(path) : to_utf8_lossy(to_utf16(path));
}

std::optional<std::string> to_utf8_strict(std::u16string_view text) {
  return from_utf16(text, Unpaired::reject);
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (!decode_one(bytes, pos, /*allow_surrogates=*/false)) return false;
  }
  return true;
}

std::string trim_end_unicode(std::string_view text) {
  std::size_t end = 0;  // one past the last character that is not white space
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto decoded = decode_one(text, pos, /*allow_surrogates=*/true);
    if (!decoded) {
      ++pos;
      end = pos;
    } else if (!is_white_space(*decoded)) {
      end = pos;
    }
  }
  return std::string(text.substr(0, end));
}

std::string trim_unicode(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t next = pos;
    const auto decoded = decode_one(text, next, /*allow_surrogates=*/true);
    if (!decoded || !is_white_space(*decoded)) break;
    pos = next;
  }
  return trim_end_unicode(text.substr(pos));
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ascii_lower(a) == ascii_lower(b);
}

namespace {
constexpr std::string_view base64_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

std::string base64_encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      text += k <= n ? base64_alphabet[group >> (18 - 6 * k) & 0x3F] : '=';
    }
  }
  return text;
}

std::optional<std::string> base64_decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    std::size_t padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      // Padding only at the very end, at most two, and nothing but padding after it.
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        ++padding;
        group <<= 6;
        continue;
      }
      const auto value = base64_alphabet.find(c);
      if (value == std::string_view::npos || padding > 0) return std::nullopt;
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    for (std::size_t k = 0; k < 3 - padding; ++k) {
      bytes += static_cast<char>(group >> (16 - 8 * k) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace mossglow
