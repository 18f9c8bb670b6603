#include <algorithm>
#include <charconv>
#include <iterator>

#include "state/json_messages.hpp"
#include "state/json_reader.hpp"

namespace mossglow::json {
namespace {

// Decodes one code point of valid UTF-8 at `i`, advancing `i`.
std::uint32_t decode_utf8(std::string_view text, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = b(i);
  if (lead < 0x80) return b(i++);
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  std::uint32_t cp = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (b(i + k) & 0x3F);
  i += extra + 1;
  return cp;
}

// Characters Rust's `{:?}` writes as `\u{..}`: controls, separators other than the
// space, format characters and private use. (Rust also escapes unassigned code
// points; those never occur in text the program reads back from its own files.)
bool escaped_in_debug(std::uint32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return true;
  if (cp == 0xA0 || cp == 0xAD || cp == 0x61C || cp == 0x1680 || cp == 0x180E) return true;
  if ((cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F)) return true;
  if ((cp >= 0x205F && cp <= 0x2064) || (cp >= 0x2066 && cp <= 0x206F)) return true;
  if (cp == 0x3000 || cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB)) return true;
  if ((cp >= 0xE000 && cp <= 0xF8FF) || cp >= 0xF0000) return true;
  return false;
}

struct ShortEscape {
  std::uint32_t code_point;
  std::string_view text;
};
constexpr ShortEscape short_escapes[] = {{0, "\\0"},    {'\t', "\\t"},  {'\r', "\\r"},
                                         {'\n', "\\n"}, {'\\', "\\\\"}, {'"', "\\\""}};

}  // namespace

std::string debug_string(std::string_view text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t begin = i;
    const std::uint32_t cp = decode_utf8(text, i);
    if (const auto shown = std::ranges::find(short_escapes, cp, &ShortEscape::code_point);
        shown != std::end(short_escapes)) {
      out += shown->text;
      continue;
    }
    if (!escaped_in_debug(cp)) {
      out.append(text.substr(begin, i - begin));
      continue;
    }
    std::string hex;
    for (std::uint32_t v = cp; v != 0; v >>= 4) hex.insert(hex.begin(), digits[v & 0xF]);
    out += "\\u{" + hex + "}";
  }
  return out + "\"";
}

std::string display_float(double value) {
  // The shortest digits that read back as the same double, laid out the way the
  // journal parser's messages show floats: plain decimal with at least one digit
  // after the point while the value lies in [1e-5, 1e16), otherwise "1e21",
  // "-1.5e-7".
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, written.ptr);
  const std::size_t e = scientific.find('e');
  std::string_view mantissa = scientific.substr(0, e);
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);

  std::string out;
  if (mantissa.front() == '-') {
    out += '-';
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }
  const int length = static_cast<int>(digits.size());
  const int point = exponent + 1;  // digits left of the decimal point
  // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string.
  if (point >= length && point <= 16) {
    out.append(digits).append(static_cast<std::size_t>(point - length), '0').append(".0");
  } else if (point > 0 && point <= 16) {
    out.append(digits, 0, point).append(".").append(digits, point);
  } else if (point > -5 && point <= 0) {
    out.append("0.").append(static_cast<std::size_t>(-point), '0').append(digits);
  } else {
    out.append(digits, 0, 1);
    if (length > 1) out.append(".").append(digits, 1);
    out.append("e").append(std::to_string(exponent));
  }
  return out;
}

// --- type errors ---

Error Deserializer::peek_invalid_type(std::string_view expecting) {
  const auto c = peek().value_or(0);
  std::string unexpected;
  const auto ident = [&](std::string_view rest, std::string_view shown) -> std::optional<Error> {
    eat();
    if (auto read = parse_ident(rest); !read) return read.error();
    unexpected = shown;
    return std::nullopt;
  };
  std::optional<Error> failed;
  if (c == 'n') {
    failed = ident("ull", "null");
  } else if (c == 't') {
    failed = ident("rue", "boolean `true`");
  } else if (c == 'f') {
    failed = ident("alse", "boolean `false`");
  } else if (c == '-' || (c >= '0' && c <= '9')) {
    if (c == '-') eat();
    auto number = parse_integer(c != '-');
    if (!number) return number.error();
    switch (number->kind) {
      case Number::Kind::unsigned_integer:
        unexpected = "integer `" + std::to_string(number->u) + "`";
        break;
      case Number::Kind::signed_integer:
        unexpected = "integer `" + std::to_string(number->i) + "`";
        break;
      case Number::Kind::floating:
        unexpected = "floating point `" + display_float(number->f) + "`";
        break;
    }
  } else if (c == '"') {
    eat();
    auto text = parse_string();
    if (!text) return text.error();
    unexpected = "string " + debug_string(*text);
  } else if (c == '[') {
    unexpected = "sequence";
  } else if (c == '{') {
    unexpected = "map";
  } else {
    return peek_error(expected_value).error();
  }
  if (failed) return *failed;
  return fix_position(Error{invalid_type(unexpected, expecting), {}});
}

}  // namespace mossglow::json
