#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/result.hpp"

// A strict reader for the journals. A damaged journal is reported to the user with
// the texts of serde_json's typed deserializer ("missing field `path` at line 5
// column 3"), which earlier versions of the program showed, so this reader follows
// its grammar, its order of checks and its positions. It reads typed values straight
// from the bytes; there is no intermediate document tree. Other journals reuse it
// with their own record types.
namespace mossglow::json {

struct Position {
  std::size_t line = 0;
  std::size_t column = 0;
};

// A message, and where in the input it arose. Errors raised by the typed layer
// (missing field, wrong type) get their position from the innermost value that
// was being read when they propagate out of it.
struct Error {
  std::string message;
  std::optional<Position> position;

  // "<message> at line L column C", or the message alone when it has no position.
  std::string text() const;
};

template <class T>
using Parsed = std::expected<T, Error>;

// One field of a record type, in the order the record declares them (an array
// form of the record lists the values in this order).
struct Field {
  std::string_view name;
  bool optional = false;  // an absent key means none rather than an error
};

class Deserializer;

// Walks the elements of an array being read.
class SeqAccess {
 public:
  explicit SeqAccess(Deserializer& de) : de_(de) {}
  // True when another element follows: the caller must read it next through `de()`.
  // False at the closing bracket, which is left for the array's end.
  Parsed<bool> next_element();
  Deserializer& de() { return de_; }

 private:
  Deserializer& de_;
  bool first_ = true;
};

class Deserializer {
 public:
  explicit Deserializer(std::string_view input) : input_(input) {}

  Parsed<std::string> deserialize_string();
  Parsed<std::uint32_t> deserialize_u32();
  Parsed<std::uint8_t> deserialize_u8();

  // Consumes a `null` and answers false, or answers true and leaves the value for
  // the caller to read (a missing value then fails in the caller's read).
  Parsed<bool> deserialize_option();
  Parsed<std::optional<std::string>> deserialize_optional_string();

  // An array; `expecting` names the wanted type in type errors ("a sequence").
  Parsed<void> deserialize_seq(std::string_view expecting,
                               const std::function<Parsed<void>(SeqAccess&)>& visit);

  // A record: an object with the given fields (unknown keys are read and dropped,
  // a repeated key or a missing required one is an error), or an array holding the
  // field values in order. `visit_field` reads the value of field `index`.
  Parsed<void> deserialize_struct(
      std::string_view name, std::span<const Field> fields,
      const std::function<Parsed<void>(std::size_t index, Deserializer&)>& visit_field);

  // Reads and drops any one value, however deeply nested, without recursion.
  Parsed<void> ignore_value();

  // After the top-level value: only whitespace may follow.
  Parsed<void> end();

 private:
  friend class SeqAccess;

  struct Number {
    enum class Kind { unsigned_integer, signed_integer, floating } kind;
    std::uint64_t u = 0;
    std::int64_t i = 0;
    double f = 0;
  };

  std::optional<unsigned char> peek() const;
  std::optional<unsigned char> next();
  void eat() { ++index_; }
  std::optional<unsigned char> skip_whitespace();

  Position position_of_index(std::size_t index) const;
  // A fault in the byte consumed last, and one in the byte about to be consumed.
  std::unexpected<Error> error(std::string_view message) const;
  std::unexpected<Error> peek_error(std::string_view message) const;
  Error fix_position(Error error) const;

  Parsed<void> parse_ident(std::string_view rest);
  Parsed<std::string> parse_string();
  Parsed<void> parse_escape(std::string& out);
  Parsed<std::uint16_t> decode_hex_escape();
  Parsed<void> ignore_string();
  Parsed<void> ignore_escape();

  Parsed<Number> parse_integer(bool positive);
  Parsed<Number> parse_number(bool positive, std::uint64_t significand, std::size_t start);
  Parsed<double> parse_fraction_and_exponent(bool positive, bool nonzero, std::size_t start);
  Parsed<double> float_from_text(bool positive, std::size_t start);
  Parsed<void> ignore_integer();
  Parsed<void> ignore_fraction();
  Parsed<void> ignore_exponent();
  Parsed<std::uint64_t> deserialize_unsigned(std::string_view expecting, std::uint64_t max);

  // The error for a value of the wrong JSON type; scalars are read first so that
  // the message can show them.
  Error peek_invalid_type(std::string_view expecting);

  Parsed<void> enter_nested();
  void leave_nested() { ++remaining_depth_; }
  Parsed<void> end_seq();
  Parsed<void> end_map();
  Parsed<void> parse_object_colon();
  Parsed<std::optional<std::string>> next_key(bool& first);

  Parsed<void> visit_struct_map(
      std::string_view name, std::span<const Field> fields,
      const std::function<Parsed<void>(std::size_t, Deserializer&)>& visit_field);
  Parsed<void> visit_struct_seq(
      std::string_view name, std::span<const Field> fields,
      const std::function<Parsed<void>(std::size_t, Deserializer&)>& visit_field);

  std::string_view input_;
  std::size_t index_ = 0;
  int remaining_depth_ = 128;
};

// Reads one whole document: `read` takes the value, then only whitespace may follow.
// The error is the ready-to-show text with line and column.
Status from_slice(std::string_view bytes, const std::function<Parsed<void>(Deserializer&)>& read);

// How a value that was not wanted reads in a type error: Rust's `{:?}` of a string.
std::string debug_string(std::string_view text);
// A floating-point value as type errors show it ("1.5", "1.0", "-0.0", "1e21").
std::string display_float(double value);

}  // namespace mossglow::json
