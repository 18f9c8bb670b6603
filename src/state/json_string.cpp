#include "platform/text.hpp"
#include "state/json_messages.hpp"
#include "state/json_reader.hpp"

namespace mossglow::json {
namespace {

// The one-letter escapes and the bytes they stand for.
constexpr std::string_view escape_letters = "\"\\/bfnrt";
constexpr std::string_view escaped_bytes = "\"\\/\b\f\n\r\t";

int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

// After the opening quote. The content must be valid UTF-8, checked as a whole at
// the closing quote.
Parsed<std::string> Deserializer::parse_string() {
  std::string out;
  std::size_t start = index_;
  for (;;) {
    while (index_ < input_.size() && !is_escape(static_cast<unsigned char>(input_[index_]))) {
      ++index_;
    }
    if (index_ == input_.size()) return error(eof_string);
    const char c = input_[index_];
    out.append(input_.substr(start, index_ - start));
    ++index_;
    if (c == '"') {
      if (!is_valid_utf8(out)) return error(invalid_code_point);
      return out;
    }
    if (c != '\\') return error(control_character);
    if (auto escaped = parse_escape(out); !escaped) return std::unexpected(escaped.error());
    start = index_;
  }
}

Parsed<std::uint16_t> Deserializer::decode_hex_escape() {
  if (index_ + 4 > input_.size()) {
    index_ = input_.size();
    return error(eof_string);
  }
  // All four digits are taken before they are checked, so a bad digit is reported
  // at the end of the escape, wherever it stands in it.
  const std::string_view digits = input_.substr(index_, 4);
  index_ += 4;
  std::uint16_t n = 0;
  for (const char digit : digits) {
    const int value = hex_value(static_cast<unsigned char>(digit));
    if (value < 0) return error(invalid_escape);
    n = static_cast<std::uint16_t>((n << 4) + value);
  }
  return n;
}

// After the backslash. Surrogate escapes must come as a leading and a trailing half.
Parsed<void> Deserializer::parse_escape(std::string& out) {
  const auto c = next();
  if (!c) return error(eof_string);
  if (const auto letter = escape_letters.find(static_cast<char>(*c));
      letter != std::string_view::npos) {
    out += escaped_bytes[letter];
    return {};
  }
  if (*c != 'u') return error(invalid_escape);
  auto first = decode_hex_escape();
  if (!first) return std::unexpected(first.error());
  std::uint32_t cp = *first;
  if (cp >= 0xDC00 && cp <= 0xDFFF) return error(lone_surrogate);
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    for (const char wanted : {'\\', 'u'}) {
      const auto p = peek();
      if (!p) return error(eof_string);
      eat();
      if (*p != static_cast<unsigned char>(wanted)) {
        return error(unexpected_end_of_hex);
      }
    }
    auto second = decode_hex_escape();
    if (!second) return std::unexpected(second.error());
    if (*second < 0xDC00 || *second > 0xDFFF) {
      return error(lone_surrogate);
    }
    cp = (((cp - 0xD800) << 10) | (*second - 0xDC00u)) + 0x10000;
  }
  append_utf8(out, cp);
  return {};
}

// A string that is skipped is checked less: its bytes need not be UTF-8 and its
// \u escapes need not pair up.
Parsed<void> Deserializer::ignore_string() {
  for (;;) {
    while (index_ < input_.size() && !is_escape(static_cast<unsigned char>(input_[index_]))) {
      ++index_;
    }
    if (index_ == input_.size()) return error(eof_string);
    const char c = input_[index_];
    if (c == '"') {
      ++index_;
      return {};
    }
    if (c != '\\') return error(control_character);
    ++index_;
    if (auto escaped = ignore_escape(); !escaped) return escaped;
  }
}

Parsed<void> Deserializer::ignore_escape() {
  const auto c = next();
  if (!c) return error(eof_string);
  if (escape_letters.find(static_cast<char>(*c)) != std::string_view::npos) return {};
  if (*c != 'u') return error(invalid_escape);
  if (auto n = decode_hex_escape(); !n) return std::unexpected(n.error());
  return {};
}

}  // namespace mossglow::json
