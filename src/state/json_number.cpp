#include <charconv>
#include <limits>
#include <system_error>

#include "state/json_messages.hpp"
#include "state/json_reader.hpp"

namespace mossglow::json {

// After an optional '-': an integer part without leading zeros, then an optional
// fraction and exponent. Integers that fit 64 bits stay integers.
Parsed<Deserializer::Number> Deserializer::parse_integer(bool positive) {
  const std::size_t start = index_;
  const auto c = next();
  if (!c) return error(eof_value);
  if (*c == '0') {
    if (is_digit(peek())) return peek_error(invalid_number);
    return parse_number(positive, 0, start);
  }
  if (*c < '1' || *c > '9') return error(invalid_number);
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
      return peek_error(peek() ? invalid_number : eof_value);
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
    if (!first) return error(eof_value);
    if (!is_digit(first)) return error(invalid_number);
    std::int64_t exponent = *first - '0';
    while (is_digit(peek())) {
      const auto digit = *next() - '0';
      exponent = exponent * 10 + digit;
      if (exponent > std::numeric_limits<std::int32_t>::max()) {
        // An exponent beyond 32 bits: infinite unless the value is zero or tiny.
        if (nonzero && positive_exponent) {
          return error(number_out_of_range);
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
    if (magnitude + exponent > 0) return error(number_out_of_range);
    value = 0;
  } else if (ec != std::errc{} || end != text.data() + text.size()) {
    return error(invalid_number);
  }
  return positive ? value : -value;
}

Parsed<void> Deserializer::ignore_integer() {
  const auto c = next();
  if (c == '0') {
    if (is_digit(peek())) return peek_error(invalid_number);
  } else if (is_digit(c)) {
    while (is_digit(peek())) eat();
  } else {
    return error(invalid_number);
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
  if (!any) return peek_error(invalid_number);
  if (peek() == 'e' || peek() == 'E') return ignore_exponent();
  return {};
}

Parsed<void> Deserializer::ignore_exponent() {
  eat();
  if (peek() == '+' || peek() == '-') eat();
  if (!is_digit(next())) return error(invalid_number);
  while (is_digit(peek())) eat();
  return {};
}

Parsed<std::uint64_t> Deserializer::deserialize_unsigned(std::string_view expecting,
                                                         std::uint64_t max) {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_value);
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

}  // namespace mossglow::json
