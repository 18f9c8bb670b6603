#include "state/json_reader.hpp"

#include <algorithm>
#include <vector>

#include "state/json_messages.hpp"

namespace mossglow::json {

std::string Error::text() const {
  if (!position) return message;
  return message + " at line " + std::to_string(position->line) + " column " +
         std::to_string(position->column);
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
std::unexpected<Error> Deserializer::error(std::string_view message) const {
  return std::unexpected(Error{std::string(message), position_of_index(index_)});
}

// A fault in the byte about to be consumed.
std::unexpected<Error> Deserializer::peek_error(std::string_view message) const {
  return std::unexpected(
      Error{std::string(message), position_of_index(std::min(input_.size(), index_ + 1))});
}

Error Deserializer::fix_position(Error error) const {
  if (!error.position) error.position = position_of_index(index_);
  return error;
}

Parsed<void> Deserializer::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    const auto c = next();
    if (!c) return error(eof_value);
    if (*c != static_cast<unsigned char>(expected)) {
      return error(expected_ident);
    }
  }
  return {};
}

// --- typed values ---

Parsed<std::string> Deserializer::deserialize_string() {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_value);
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
  if (--remaining_depth_ == 0) return peek_error(recursion_limit);
  return {};
}

Parsed<void> Deserializer::end_seq() {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_list);
  if (*p == ']') {
    eat();
    return {};
  }
  if (*p == ',') {
    eat();
    if (skip_whitespace() == ']') return peek_error(trailing_comma);
  }
  return peek_error(trailing_characters);
}

Parsed<void> Deserializer::end_map() {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_object);
  if (*p == '}') {
    eat();
    return {};
  }
  return peek_error(*p == ',' ? trailing_comma : trailing_characters);
}

Parsed<void> Deserializer::parse_object_colon() {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_object);
  if (*p != ':') return peek_error(expected_colon);
  eat();
  return {};
}

Parsed<bool> SeqAccess::next_element() {
  auto p = de_.skip_whitespace();
  if (!p) return de_.peek_error(eof_list);
  if (*p == ']') return false;
  if (*p == ',' && !first_) {
    de_.eat();
    p = de_.skip_whitespace();
  } else if (first_) {
    first_ = false;
  } else {
    return de_.peek_error(expected_list_comma);
  }
  if (!p) return de_.peek_error(eof_value);
  if (*p == ']') return de_.peek_error(trailing_comma);
  return true;
}

// The next key of an object, or nothing at its closing brace (left for end_map).
Parsed<std::optional<std::string>> Deserializer::next_key(bool& first) {
  auto p = skip_whitespace();
  if (!p) return peek_error(eof_object);
  if (*p == '}') return std::optional<std::string>{};
  if (*p == ',' && !first) {
    eat();
    p = skip_whitespace();
  } else if (first) {
    first = false;
  } else {
    return peek_error(expected_object_comma);
  }
  if (!p) return peek_error(eof_value);
  if (*p == '}') return peek_error(trailing_comma);
  if (*p != '"') return peek_error(key_must_be_string);
  eat();
  auto key = parse_string();
  if (!key) return std::unexpected(key.error());
  return std::optional<std::string>(std::move(*key));
}

Parsed<void> Deserializer::deserialize_seq(std::string_view expecting,
                                           const std::function<Parsed<void>(SeqAccess&)>& visit) {
  const auto p = skip_whitespace();
  if (!p) return peek_error(eof_value);
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
  if (!p) return peek_error(eof_value);
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
    if (!p) return peek_error(eof_value);
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
        if (!is_digit(p)) return peek_error(expected_value);
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
      if (!q) return peek_error(current == '[' ? eof_list : eof_object);
      if (*q == ',' && accept_comma) {
        eat();
        break;
      }
      const bool closes = (*q == ']' && current == '[') || (*q == '}' && current == '{');
      if (!closes) {
        if (!accept_comma) break;
        return peek_error(current == '[' ? expected_list_comma : expected_object_comma);
      }
      eat();
      if (open.empty()) return {};
      current = open.back();
      open.pop_back();
      accept_comma = true;
    }

    if (current == '{') {
      const auto k = skip_whitespace();
      if (!k) return peek_error(eof_object);
      if (*k != '"') return peek_error(key_must_be_string);
      eat();
      if (auto key = ignore_string(); !key) return key;
      if (auto colon = parse_object_colon(); !colon) return colon;
    }
    enclosing = current;
  }
}

Parsed<void> Deserializer::end() {
  if (skip_whitespace()) return peek_error(trailing_characters);
  return {};
}

Status from_slice(std::string_view bytes, const std::function<Parsed<void>(Deserializer&)>& read) {
  Deserializer de(bytes);
  if (auto value = read(de); !value) return std::unexpected(value.error().text());
  if (auto ended = de.end(); !ended) return std::unexpected(ended.error().text());
  return {};
}

}  // namespace mossglow::json
