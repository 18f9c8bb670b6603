#include "state/json_reader.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>
#include <vector>

#include "platform/text.hpp"

namespace mossglow::json {
namespace {

constexpr std::string_view eof_list = "EOF while parsing a list";
constexpr std::string_view eof_object = "EOF while parsing an object";
constexpr std::string_view eof_string = "EOF while parsing a string";
constexpr std::string_view eof_value = "EOF while parsing a value";
constexpr std::string_view expected_colon = "expected `:`";
constexpr std::string_view expected_list_comma = "expected `,` or `]`";
constexpr std::string_view expected_object_comma = "expected `,` or `}`";
constexpr std::string_view expected_ident = "expected ident";
constexpr std::string_view expected_value = "expected value";
constexpr std::string_view invalid_escape = "invalid escape";
constexpr std::string_view invalid_number = "invalid number";
constexpr std::string_view number_out_of_range = "number out of range";
constexpr std::string_view invalid_code_point = "invalid unicode code point";
constexpr std::string_view control_character =
    "control character (\\u0000-\\u001F) found while parsing a string";
constexpr std::string_view key_must_be_string = "key must be a string";
constexpr std::string_view lone_surrogate = "lone leading surrogate in hex escape";
constexpr std::string_view trailing_comma = "trailing comma";
constexpr std::string_view trailing_characters = "trailing characters";
constexpr std::string_view unexpected_end_of_hex = "unexpected end of hex escape";
constexpr std::string_view recursion_limit = "recursion limit exceeded";

bool is_digit(std::optional<unsigned char> c) { return c && *c >= '0' && *c <= '9'; }

// The bytes that end a run of plain string content.
bool is_escape(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

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

std::string invalid_type(std::string_view unexpected, std::string_view expecting) {
  return "invalid type: " + std::string(unexpected) + ", expected " + std::string(expecting);
}

}  // namespace

std::string Error::text() const {
  if (!position) return message;
  return message + " at line " + std::to_string(position->line) + " column " +
         std::to_string(position->column);
}

std::string debug_string(std::string_view text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t begin = i;
    const std::uint32_t cp = decode_utf8(text, i);
    switch (cp) {
      case 0:
        out += "\\0";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '"':
        out += "\\\"";
        continue;
      default:
        break;
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
  // Shortest round-trip digits, then laid out without an exponent, as Rust's
  // Display does; a value without a fraction gets ".0".
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
  if (exponent >= 0) {
    const auto integer_digits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integer_digits) {
      out += digits + std::string(integer_digits - digits.size(), '0') + ".0";
    } else {
      out += digits.substr(0, integer_digits) + "." + digits.substr(integer_digits);
    }
  } else {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

// --- bytes and positions ---

std::optional<unsigned char> Deserializer::peek() const {
  if (index_ >= input_.size()) return std::nullopt;
  return static_cast<unsigned char>(input_[index_]);
}

std::optional<unsigned char> Deserializer::next() {
  auto c = peek();
  if (c) ++index_;
  return c;
}

std::optional<unsigned char> Deserializer::skip_whitespace() {
  for (;;) {
    const auto c = peek();
    if (!c || (*c != ' ' && *c != '\n' && *c != '\t' && *c != '\r')) return c;
    eat();
  }
}

Position Deserializer::position_of_index(std::size_t index) const {
  const std::string_view before = input_.substr(0, index);
  const std::size_t last_break = before.rfind('\n');
  const std::size_t line_start = last_break == std::string_view::npos ? 0 : last_break + 1;
  const auto breaks = std::count(before.begin(), before.begin() + line_start, '\n');
  return Position{1 + static_cast<std::size_t>(breaks), index - line_start};
}

// A fault in a byte already consumed.
Error Deserializer::error(std::string message) const {
  return Error{std::move(message), position_of_index(index_)};
}

// A fault in the byte about to be consumed.
Error Deserializer::peek_error(std::string message) const {
  return Error{std::move(message), position_of_index(std::min(input_.size(), index_ + 1))};
}

Error Deserializer::fix_position(Error error) const {
  if (!error.position) error.position = position_of_index(index_);
  return error;
}

Parsed<void> Deserializer::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    const auto c = next();
    if (!c) return std::unexpected(error(std::string(eof_value)));
    if (*c != static_cast<unsigned char>(expected)) {
      return std::unexpected(error(std::string(expected_ident)));
    }
  }
  return {};
}

// --- strings ---

// After the opening quote. The content must be valid UTF-8, checked as a whole at
// the closing quote.
Parsed<std::string> Deserializer::parse_string() {
  std::string out;
  std::size_t start = index_;
  for (;;) {
    while (index_ < input_.size() && !is_escape(static_cast<unsigned char>(input_[index_]))) {
      ++index_;
    }
    if (index_ == input_.size()) return std::unexpected(error(std::string(eof_string)));
    const char c = input_[index_];
    out.append(input_.substr(start, index_ - start));
    ++index_;
    if (c == '"') {
      if (!is_valid_utf8(out)) return std::unexpected(error(std::string(invalid_code_point)));
      return out;
    }
    if (c != '\\') return std::unexpected(error(std::string(control_character)));
    if (auto escaped = parse_escape(out); !escaped) return std::unexpected(escaped.error());
    start = index_;
  }
}

Parsed<std::uint16_t> Deserializer::decode_hex_escape() {
  if (index_ + 4 > input_.size()) {
    index_ = input_.size();
    return std::unexpected(error(std::string(eof_string)));
  }
  std::uint16_t n = 0;
  for (int k = 0; k < 4; ++k) {
    const int value = hex_value(static_cast<unsigned char>(input_[index_]));
    ++index_;
    if (value < 0) return std::unexpected(error(std::string(invalid_escape)));
    n = static_cast<std::uint16_t>((n << 4) + value);
  }
  return n;
}

// After the backslash. Surrogate escapes must come as a leading and a trailing half.
Parsed<void> Deserializer::parse_escape(std::string& out) {
  const auto c = next();
  if (!c) return std::unexpected(error(std::string(eof_string)));
  switch (*c) {
    case '"':
      out += '"';
      return {};
    case '\\':
      out += '\\';
      return {};
    case '/':
      out += '/';
      return {};
    case 'b':
      out += '\b';
      return {};
    case 'f':
      out += '\f';
      return {};
    case 'n':
      out += '\n';
      return {};
    case 'r':
      out += '\r';
      return {};
    case 't':
      out += '\t';
      return {};
    case 'u':
      break;
    default:
      return std::unexpected(error(std::string(invalid_escape)));
  }
  auto first = decode_hex_escape();
  if (!first) return std::unexpected(first.error());
  std::uint32_t cp = *first;
  if (cp >= 0xDC00 && cp <= 0xDFFF) return std::unexpected(error(std::string(lone_surrogate)));
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    for (const char wanted : {'\\', 'u'}) {
      const auto p = peek();
      if (!p) return std::unexpected(error(std::string(eof_string)));
      eat();
      if (*p != static_cast<unsigned char>(wanted)) {
        return std::unexpected(error(std::string(unexpected_end_of_hex)));
      }
    }
    auto second = decode_hex_escape();
    if (!second) return std::unexpected(second.error());
    if (*second < 0xDC00 || *second > 0xDFFF) {
      return std::unexpected(error(std::string(lone_surrogate)));
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
    if (index_ == input_.size()) return std::unexpected(error(std::string(eof_string)));
    const char c = input_[index_];
    if (c == '"') {
      ++index_;
      return {};
    }
    if (c != '\\') return std::unexpected(error(std::string(control_character)));
    ++index_;
    if (auto escaped = ignore_escape(); !escaped) return escaped;
  }
}

Parsed<void> Deserializer::ignore_escape() {
  const auto c = next();
  if (!c) return std::unexpected(error(std::string(eof_string)));
  switch (*c) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
      return {};
    case 'u': {
      auto n = decode_hex_escape();
      if (!n) return std::unexpected(n.error());
      return {};
    }
    default:
      return std::unexpected(error(std::string(invalid_escape)));
  }
}

// --- numbers ---

// After an optional '-': an integer part without leading zeros, then an optional
// fraction and exponent. Integers that fit 64 bits stay integers.
Parsed<Deserializer::Number> Deserializer::parse_integer(bool positive) {
  const std::size_t start = index_;
  const auto c = next();
  if (!c) return std::unexpected(error(std::string(eof_value)));
  if (*c == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error(std::string(invalid_number)));
    return parse_number(positive, 0, start);
  }
  if (*c < '1' || *c > '9') return std::unexpected(error(std::string(invalid_number)));
  std::uint64_t significand = *c - '0';
  for (;;) {
    const auto p = peek();
    if (!is_digit(p)) return parse_number(positive, significand, start);
    const std::uint64_t digit = *p - '0';
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    if (significand > (max - digit) / 10) {
      // Too long for 64 bits: read on as a floating-point number.
      while (is_digit(peek())) eat();
      auto value = parse_fraction_and_exponent(positive, true, start);
      if (!value) return std::unexpected(value.error());
      return Number{Number::Kind::floating, 0, 0, *value};
    }
    eat();
    significand = significand * 10 + digit;
  }
}

Parsed<Deserializer::Number> Deserializer::parse_number(bool positive, std::uint64_t significand,
                                                        std::size_t start) {
  const auto p = peek();
  if (p && (*p == '.' || *p == 'e' || *p == 'E')) {
    auto value = parse_fraction_and_exponent(positive, significand != 0, start);
    if (!value) return std::unexpected(value.error());
    return Number{Number::Kind::floating, 0, 0, *value};
  }
  if (positive) return Number{Number::Kind::unsigned_integer, significand, 0, 0};
  if (significand > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1) {
    return Number{Number::Kind::floating, 0, 0, -static_cast<double>(significand)};
  }
  const auto negated = static_cast<std::int64_t>(0 - significand);
  return Number{Number::Kind::signed_integer, 0, negated, 0};
}

// At an optional fraction or exponent after the integer digits that began at `start`.
// `nonzero` tells whether a significant digit has been seen so far.
Parsed<double> Deserializer::parse_fraction_and_exponent(bool positive, bool nonzero,
                                                         std::size_t start) {
  if (peek() == '.') {
    eat();
    bool any = false;
    while (is_digit(peek())) {
      nonzero = nonzero || *peek() != '0';
      eat();
      any = true;
    }
    if (!any) {
      return std::unexpected(peek_error(std::string(peek() ? invalid_number : eof_value)));
    }
  }
  if (peek() == 'e' || peek() == 'E') {
    eat();
    bool positive_exponent = true;
    if (peek() == '+' || peek() == '-') {
      positive_exponent = *peek() == '+';
      eat();
    }
    const auto first = next();
    if (!first) return std::unexpected(error(std::string(eof_value)));
    if (!is_digit(first)) return std::unexpected(error(std::string(invalid_number)));
    std::int64_t exponent = *first - '0';
    while (is_digit(peek())) {
      const auto digit = *next() - '0';
      exponent = exponent * 10 + digit;
      if (exponent > std::numeric_limits<std::int32_t>::max()) {
        // An exponent beyond 32 bits: infinite unless the value is zero or tiny.
        if (nonzero && positive_exponent) {
          return std::unexpected(error(std::string(number_out_of_range)));
        }
        while (is_digit(peek())) eat();
        return positive ? 0.0 : -0.0;
      }
    }
  }
  return float_from_text(positive, start);
}

// Converts the literal from `start` to the current index (without its sign),
// correctly rounded; a value too large for a double is an error.
Parsed<double> Deserializer::float_from_text(bool positive, std::size_t start) {
  const std::string_view text = input_.substr(start, index_ - start);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Out of range either way: too large (the leading digit stands left of the
    // point after applying the exponent) or too small, which reads as zero.
    std::int64_t magnitude = 0;
    bool seen_point = false;
    bool leading = true;
    std::size_t i = 0;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
      if (text[i] == '.') {
        seen_point = true;
      } else if (leading && text[i] == '0') {
        if (seen_point) --magnitude;
      } else {
        leading = false;
        if (!seen_point) ++magnitude;
      }
    }
    std::int64_t exponent = 0;
    if (i < text.size()) {
      const char* from = text.data() + i + 1;
      if (*from == '+') ++from;
      std::from_chars(from, text.data() + text.size(), exponent);
    }
    if (magnitude + exponent > 0) return std::unexpected(error(std::string(number_out_of_range)));
    value = 0;
  } else if (ec != std::errc{} || end != text.data() + text.size()) {
    return std::unexpected(error(std::string(invalid_number)));
  }
  return positive ? value : -value;
}

Parsed<void> Deserializer::ignore_integer() {
  const auto c = next();
  if (c == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error(std::string(invalid_number)));
  } else if (is_digit(c)) {
    while (is_digit(peek())) eat();
  } else {
    return std::unexpected(error(std::string(invalid_number)));
  }
  if (peek() == '.') return ignore_fraction();
  if (peek() == 'e' || peek() == 'E') return ignore_exponent();
  return {};
}

Parsed<void> Deserializer::ignore_fraction() {
  eat();
  bool any = false;
  while (is_digit(peek())) {
    eat();
    any = true;
  }
  if (!any) return std::unexpected(peek_error(std::string(invalid_number)));
  if (peek() == 'e' || peek() == 'E') return ignore_exponent();
  return {};
}

Parsed<void> Deserializer::ignore_exponent() {
  eat();
  if (peek() == '+' || peek() == '-') eat();
  if (!is_digit(next())) return std::unexpected(error(std::string(invalid_number)));
  while (is_digit(peek())) eat();
  return {};
}

Parsed<std::uint64_t> Deserializer::deserialize_unsigned(std::string_view expecting,
                                                         std::uint64_t max) {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_value)));
  Parsed<Number> number;
  if (*p == '-') {
    eat();
    number = parse_integer(false);
  } else if (is_digit(p)) {
    number = parse_integer(true);
  } else {
    return std::unexpected(peek_invalid_type(expecting));
  }
  if (!number) return std::unexpected(number.error());
  const auto invalid_value = [&](std::string shown) {
    return std::unexpected(fix_position(
        Error{"invalid value: integer `" + shown + "`, expected " + std::string(expecting), {}}));
  };
  switch (number->kind) {
    case Number::Kind::unsigned_integer:
      if (number->u > max) return invalid_value(std::to_string(number->u));
      return number->u;
    case Number::Kind::signed_integer:
      if (number->i < 0) return invalid_value(std::to_string(number->i));
      return static_cast<std::uint64_t>(number->i);
    case Number::Kind::floating:
      break;
  }
  return std::unexpected(fix_position(
      Error{invalid_type("floating point `" + display_float(number->f) + "`", expecting), {}}));
}

Parsed<std::uint32_t> Deserializer::deserialize_u32() {
  auto value = deserialize_unsigned("u32", std::numeric_limits<std::uint32_t>::max());
  if (!value) return std::unexpected(value.error());
  return static_cast<std::uint32_t>(*value);
}

Parsed<std::uint8_t> Deserializer::deserialize_u8() {
  auto value = deserialize_unsigned("u8", std::numeric_limits<std::uint8_t>::max());
  if (!value) return std::unexpected(value.error());
  return static_cast<std::uint8_t>(*value);
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
    return peek_error(std::string(expected_value));
  }
  if (failed) return *failed;
  return fix_position(Error{invalid_type(unexpected, expecting), {}});
}

// --- typed values ---

Parsed<std::string> Deserializer::deserialize_string() {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_value)));
  if (*p != '"') return std::unexpected(peek_invalid_type("a string"));
  eat();
  return parse_string();
}

Parsed<bool> Deserializer::deserialize_option() {
  if (skip_whitespace() != 'n') return true;
  eat();
  if (auto read = parse_ident("ull"); !read) return std::unexpected(read.error());
  return false;
}

Parsed<std::optional<std::string>> Deserializer::deserialize_optional_string() {
  auto some = deserialize_option();
  if (!some) return std::unexpected(some.error());
  if (!*some) return std::optional<std::string>{};
  auto text = deserialize_string();
  if (!text) return std::unexpected(text.error());
  return std::optional<std::string>(std::move(*text));
}

Parsed<void> Deserializer::enter_nested() {
  if (--remaining_depth_ == 0) return std::unexpected(peek_error(std::string(recursion_limit)));
  return {};
}

Parsed<void> Deserializer::end_seq() {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_list)));
  if (*p == ']') {
    eat();
    return {};
  }
  if (*p == ',') {
    eat();
    if (skip_whitespace() == ']') return std::unexpected(peek_error(std::string(trailing_comma)));
  }
  return std::unexpected(peek_error(std::string(trailing_characters)));
}

Parsed<void> Deserializer::end_map() {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_object)));
  if (*p == '}') {
    eat();
    return {};
  }
  return std::unexpected(peek_error(std::string(*p == ',' ? trailing_comma : trailing_characters)));
}

Parsed<void> Deserializer::parse_object_colon() {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_object)));
  if (*p != ':') return std::unexpected(peek_error(std::string(expected_colon)));
  eat();
  return {};
}

Parsed<bool> SeqAccess::next_element() {
  auto p = de_.skip_whitespace();
  if (!p) return std::unexpected(de_.peek_error(std::string(eof_list)));
  if (*p == ']') return false;
  if (*p == ',' && !first_) {
    de_.eat();
    p = de_.skip_whitespace();
  } else if (first_) {
    first_ = false;
  } else {
    return std::unexpected(de_.peek_error(std::string(expected_list_comma)));
  }
  if (!p) return std::unexpected(de_.peek_error(std::string(eof_value)));
  if (*p == ']') return std::unexpected(de_.peek_error(std::string(trailing_comma)));
  return true;
}

// The next key of an object, or nothing at its closing brace (left for end_map).
Parsed<std::optional<std::string>> Deserializer::next_key(bool& first) {
  auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_object)));
  if (*p == '}') return std::optional<std::string>{};
  if (*p == ',' && !first) {
    eat();
    p = skip_whitespace();
  } else if (first) {
    first = false;
  } else {
    return std::unexpected(peek_error(std::string(expected_object_comma)));
  }
  if (!p) return std::unexpected(peek_error(std::string(eof_value)));
  if (*p == '}') return std::unexpected(peek_error(std::string(trailing_comma)));
  if (*p != '"') return std::unexpected(peek_error(std::string(key_must_be_string)));
  eat();
  auto key = parse_string();
  if (!key) return std::unexpected(key.error());
  return std::optional<std::string>(std::move(*key));
}

Parsed<void> Deserializer::deserialize_seq(std::string_view expecting,
                                           const std::function<Parsed<void>(SeqAccess&)>& visit) {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_value)));
  Parsed<void> result;
  if (*p == '[') {
    if (auto depth = enter_nested(); !depth) return depth;
    eat();
    SeqAccess seq(*this);
    result = visit(seq);
    leave_nested();
    // The end is checked even after a failure; it moves the position that a
    // failure without one is reported at.
    const auto ended = end_seq();
    if (result && !ended) result = ended;
  } else {
    result = std::unexpected(peek_invalid_type(expecting));
  }
  if (!result) return std::unexpected(fix_position(std::move(result.error())));
  return result;
}

Parsed<void> Deserializer::deserialize_struct(
    std::string_view name, std::span<const Field> fields,
    const std::function<Parsed<void>(std::size_t, Deserializer&)>& visit_field) {
  const auto p = skip_whitespace();
  if (!p) return std::unexpected(peek_error(std::string(eof_value)));
  Parsed<void> result;
  if (*p == '[' || *p == '{') {
    if (auto depth = enter_nested(); !depth) return depth;
    eat();
    result = *p == '[' ? visit_struct_seq(name, fields, visit_field)
                       : visit_struct_map(name, fields, visit_field);
    leave_nested();
    const auto ended = *p == '[' ? end_seq() : end_map();
    if (result && !ended) result = ended;
  } else {
    result = std::unexpected(peek_invalid_type("struct " + std::string(name)));
  }
  if (!result) return std::unexpected(fix_position(std::move(result.error())));
  return result;
}

Parsed<void> Deserializer::visit_struct_map(
    std::string_view, std::span<const Field> fields,
    const std::function<Parsed<void>(std::size_t, Deserializer&)>& visit_field) {
  std::vector<bool> seen(fields.size(), false);
  bool first = true;
  for (;;) {
    auto key = next_key(first);
    if (!key) return std::unexpected(key.error());
    if (!*key) break;
    const auto field = std::ranges::find(fields, **key, &Field::name);
    if (field == fields.end()) {
      if (auto colon = parse_object_colon(); !colon) return colon;
      if (auto ignored = ignore_value(); !ignored) return ignored;
      continue;
    }
    const auto index = static_cast<std::size_t>(field - fields.begin());
    if (seen[index]) {
      return std::unexpected(Error{"duplicate field `" + std::string(field->name) + "`", {}});
    }
    if (auto colon = parse_object_colon(); !colon) return colon;
    if (auto read = visit_field(index, *this); !read) return read;
    seen[index] = true;
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!seen[i] && !fields[i].optional) {
      return std::unexpected(Error{"missing field `" + std::string(fields[i].name) + "`", {}});
    }
  }
  return {};
}

Parsed<void> Deserializer::visit_struct_seq(
    std::string_view name, std::span<const Field> fields,
    const std::function<Parsed<void>(std::size_t, Deserializer&)>& visit_field) {
  SeqAccess seq(*this);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    auto more = seq.next_element();
    if (!more) return std::unexpected(more.error());
    if (!*more) {
      return std::unexpected(Error{"invalid length " + std::to_string(i) + ", expected struct " +
                                       std::string(name) + " with " +
                                       std::to_string(fields.size()) + " element" +
                                       (fields.size() == 1 ? "" : "s"),
                                   {}});
    }
    if (auto read = visit_field(i, *this); !read) return read;
  }
  return {};
}

// Keeps its own stack of open brackets, so that a deeply nested value in an
// unknown key cannot exhaust the call stack.
Parsed<void> Deserializer::ignore_value() {
  std::string open;  // enclosing '[' and '{', innermost last
  std::optional<char> enclosing;
  for (;;) {
    const auto p = skip_whitespace();
    if (!p) return std::unexpected(peek_error(std::string(eof_value)));
    std::optional<char> frame;
    Parsed<void> scalar;
    switch (*p) {
      case 'n':
        eat();
        scalar = parse_ident("ull");
        break;
      case 't':
        eat();
        scalar = parse_ident("rue");
        break;
      case 'f':
        eat();
        scalar = parse_ident("alse");
        break;
      case '-':
        eat();
        scalar = ignore_integer();
        break;
      case '"':
        eat();
        scalar = ignore_string();
        break;
      case '[':
      case '{':
        if (enclosing) open += *enclosing;
        enclosing.reset();
        eat();
        frame = static_cast<char>(*p);
        break;
      default:
        if (!is_digit(p)) return std::unexpected(peek_error(std::string(expected_value)));
        scalar = ignore_integer();
        break;
    }
    if (!scalar) return scalar;

    bool accept_comma = false;
    char current = 0;
    if (frame) {
      current = *frame;
    } else if (enclosing) {
      accept_comma = true;
      current = *enclosing;
      enclosing.reset();
    } else if (!open.empty()) {
      accept_comma = true;
      current = open.back();
      open.pop_back();
    } else {
      return {};
    }

    for (;;) {
      const auto q = skip_whitespace();
      if (!q)
        return std::unexpected(peek_error(std::string(current == '[' ? eof_list : eof_object)));
      if (*q == ',' && accept_comma) {
        eat();
        break;
      }
      const bool closes = (*q == ']' && current == '[') || (*q == '}' && current == '{');
      if (!closes) {
        if (!accept_comma) break;
        return std::unexpected(
            peek_error(std::string(current == '[' ? expected_list_comma : expected_object_comma)));
      }
      eat();
      if (open.empty()) return {};
      current = open.back();
      open.pop_back();
      accept_comma = true;
    }

    if (current == '{') {
      const auto k = skip_whitespace();
      if (!k) return std::unexpected(peek_error(std::string(eof_object)));
      if (*k != '"') return std::unexpected(peek_error(std::string(key_must_be_string)));
      eat();
      if (auto key = ignore_string(); !key) return key;
      if (auto colon = parse_object_colon(); !colon) return colon;
    }
    enclosing = current;
  }
}

Parsed<void> Deserializer::end() {
  if (skip_whitespace()) return std::unexpected(peek_error(std::string(trailing_characters)));
  return {};
}

Status from_slice(std::string_view bytes, const std::function<Parsed<void>(Deserializer&)>& read) {
  Deserializer de(bytes);
  if (auto value = read(de); !value) return std::unexpected(value.error().text());
  if (auto ended = de.end(); !ended) return std::unexpected(ended.error().text());
  return {};
}

}  // namespace mossglow::json
