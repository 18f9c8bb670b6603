#include "state/journal_reader.hpp"

#include <algorithm>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>

namespace mossglow::journal {
namespace {

using json = nlohmann::json;

// Hands the bytes to the parser and notes how far it has read. The parser reports each
// value, key and bracket as soon as it has read it, so that is where the event stands.
struct Cursor {
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using reference = const char&;

  const char* at;
  const char** read;

  const char& operator*() const { return *at; }
  Cursor& operator++() {
    *read = ++at;
    return *this;
  }
  bool operator==(const Cursor& other) const { return at == other.at; }
};

// A value as it arrives: what it is, what a message shows of it, where it ends.
struct Value {
  enum class Kind { null, boolean, integer, floating, string, array, object } kind;
  std::size_t end;
  std::string literal{};                   // a boolean or number as written
  std::optional<std::uint64_t> natural{};  // an integer that is not negative
  std::string* text = nullptr;             // a string's content, taken by the field
};
constexpr std::string_view kind_names[] = {"null",   "boolean", "integer", "floating point",
                                           "string", "array",   "object"};

struct Frame {
  enum class Kind { list, record_object, record_array, skipped } kind;
  ListSlot list{};
  RecordSlot record{};
  // record_object: the field of the next value (past the last one for an unknown key);
  // record_array: the values so far; skipped: the depth of the skipped value.
  std::size_t field = 0;
  std::uint64_t seen = 0;  // record_object: one bit for each field given
};

class Handler {
 public:
  Handler(std::string_view bytes, const ListSlot& journal)
      : bytes_(bytes), read_(bytes.data()), journal_(journal) {}

  Cursor first() { return {bytes_.data(), &read_}; }
  Cursor last() { return {bytes_.data() + bytes_.size(), &read_}; }
  const std::string& error() const { return error_; }

  bool fail(const std::string& message, std::size_t offset) {
    const std::string_view before = bytes_.substr(0, offset);
    const std::size_t last_break = before.rfind('\n');
    const std::size_t column =
        last_break == std::string_view::npos ? offset : offset - last_break - 1;
    error_ = message + " at line " + std::to_string(1 + std::ranges::count(before, '\n')) +
             " column " + std::to_string(column);
    return false;
  }

  // The SAX interface.
  bool null() { return value({Value::Kind::null, here()}); }
  bool boolean(bool b) { return value({Value::Kind::boolean, here(), b ? "true" : "false"}); }
  bool number_integer(std::int64_t n) {
    return value({Value::Kind::integer, number_end(), std::to_string(n),
                  n >= 0 ? std::optional<std::uint64_t>(n) : std::nullopt});
  }
  bool number_unsigned(std::uint64_t n) {
    return value({Value::Kind::integer, number_end(), std::to_string(n), n});
  }
  bool number_float(double, const std::string& literal) {
    // Integers beyond 64 bits arrive as floating point.
    const bool integer = literal.find_first_of(".eE") == std::string::npos;
    return value({integer ? Value::Kind::integer : Value::Kind::floating, number_end(), literal});
  }
  bool string(std::string& text) { return value({Value::Kind::string, here(), {}, {}, &text}); }
  bool binary(json::binary_t&) { return fail("unexpected binary value", here()); }
  bool start_object(std::size_t) { return value({Value::Kind::object, here()}); }
  bool start_array(std::size_t) { return value({Value::Kind::array, here()}); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(std::string& name) {
    Frame& top = stack_.back();
    if (top.kind != Frame::Kind::record_object) return true;  // inside a skipped value
    const auto fields = top.record.fields;
    top.field = std::ranges::find(fields, name, &FieldName::name) - fields.begin();
    if (top.field == fields.size()) return true;
    if (top.seen >> top.field & 1) {
      // After the key and the blanks that follow it, where earlier versions reported it.
      const std::size_t at = bytes_.find_first_not_of(" \t\r\n", here());
      return fail("duplicate field `" + name + "`", std::min(at, bytes_.size()));
    }
    top.seen |= std::uint64_t{1} << top.field;
    return true;
  }

  bool parse_error(std::size_t position, const std::string& last_read, const json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: <message>; last
    // read: '<bytes>'; expected <token>": the library counts columns its own way, and
    // the bytes last read need not be text.
    std::string message = e.what();
    message.erase(0, message.find("] ") + 2);
    if (message.starts_with("parse error")) message.erase(0, message.find(": ") + 2);
    const std::string quoted = "; last read: '" + last_read + "'";
    if (const auto at = message.find(quoted); at != std::string::npos) {
      message.erase(at, quoted.size());
    }
    return fail(message, std::min(position, bytes_.size()));
  }

 private:
  std::size_t here() const { return static_cast<std::size_t>(read_ - bytes_.data()); }

  // The parser reads one byte past a number, none at the end of the input. A number
  // ends in a digit and that byte is not one (but for a digit after a leading zero, a
  // syntax error the parser reports next), so a read ending in a digit ended the input.
  std::size_t number_end() const {
    const std::size_t at = here();
    return at > 0 && (bytes_[at - 1] < '0' || bytes_[at - 1] > '9') ? at - 1 : at;
  }

  bool type_error(const Value& v, std::string_view expected) {
    std::string shown(kind_names[static_cast<int>(v.kind)]);
    if (!v.literal.empty()) shown += " `" + v.literal + "`";
    return fail("invalid type: " + shown + ", expected " + std::string(expected), v.end);
  }

  template <class N>
  bool integer(const Value& v, N& out) {
    const std::string_view expected = sizeof(N) == 1 ? "u8" : "u32";
    if (v.kind != Value::Kind::integer) return type_error(v, expected);
    if (!v.natural || *v.natural > std::numeric_limits<N>::max()) {
      return fail("invalid value: integer `" + v.literal + "`, expected " + std::string(expected),
                  v.end);
    }
    out = static_cast<N>(*v.natural);
    return true;
  }

  bool value(const Value& v) {
    if (stack_.empty()) return fill(journal_, v);
    Frame& top = stack_.back();
    const bool container = v.kind == Value::Kind::array || v.kind == Value::Kind::object;
    if (top.kind == Frame::Kind::list) return fill(top.list.element(), v);
    if (top.kind == Frame::Kind::skipped) {
      if (container) ++top.field;
      return true;
    }
    const std::size_t index = top.kind == Frame::Kind::record_array ? top.field++ : top.field;
    if (index < top.record.fields.size()) {
      return fill(top.record.field(index, v.kind == Value::Kind::null), v);
    }
    // An unknown key, or a value past the last field: skipped whatever it holds.
    if (container) stack_.push_back({Frame::Kind::skipped, {}, {}, 1});
    return true;
  }

  bool fill(Slot slot, const Value& v) {
    if (auto* text = std::get_if<std::string*>(&slot)) {
      if (v.kind != Value::Kind::string) return type_error(v, "a string");
      **text = std::move(*v.text);
    } else if (auto* number = std::get_if<std::uint32_t*>(&slot)) {
      return integer(v, **number);
    } else if (auto* byte = std::get_if<std::uint8_t*>(&slot)) {
      return integer(v, **byte);
    } else if (auto* flag = std::get_if<bool*>(&slot)) {
      if (v.kind != Value::Kind::boolean) return type_error(v, "a boolean");
      **flag = v.literal == "true";
    } else if (auto* list = std::get_if<ListSlot>(&slot)) {
      if (v.kind != Value::Kind::array) return type_error(v, "an array");
      stack_.push_back({Frame::Kind::list, std::move(*list)});
    } else if (auto* record = std::get_if<RecordSlot>(&slot)) {
      if (v.kind == Value::Kind::object) {
        stack_.push_back({Frame::Kind::record_object, {}, std::move(*record)});
      } else if (v.kind == Value::Kind::array) {
        stack_.push_back({Frame::Kind::record_array, {}, std::move(*record)});
      } else {
        return type_error(v, "a record");
      }
    }
    return true;  // or nothing to fill: an optional field given null
  }

  bool close() {
    Frame& top = stack_.back();
    if (top.kind == Frame::Kind::skipped && --top.field > 0) return true;
    const auto fields = top.record.fields;
    if (top.kind == Frame::Kind::record_object) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!fields[i].optional && !(top.seen >> i & 1)) {
          return fail("missing field `" + std::string(fields[i].name) + "`", here());
        }
      }
    }
    if (top.kind == Frame::Kind::record_array) {
      const auto first = std::ranges::find_if(fields, &FieldName::added_later);
      const auto fixed = static_cast<std::size_t>(first - fields.begin());
      if (top.field < fixed || top.field > fields.size()) {
        const std::string expected =
            fixed == fields.size() ? std::to_string(fixed)
                                   : std::to_string(fixed) + " to " + std::to_string(fields.size());
        return fail("invalid length " + std::to_string(top.field) + ", expected a record of " +
                        expected + " values",
                    here());
      }
    }
    stack_.pop_back();
    return true;
  }

  std::string_view bytes_;
  const char* read_;
  const ListSlot& journal_;
  std::vector<Frame> stack_;
  std::string error_;
};

}  // namespace

Status read_journal(std::string_view bytes, const ListSlot& journal) {
  Handler handler(bytes, journal);
  // Checked before the library sees the text: it would skip a byte-order mark (which the
  // program never writes and earlier versions refused), and it takes a NUL byte for the
  // end of the input, so that anything after one would pass unread.
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    handler.fail("unexpected byte-order mark", 1);
  } else if (const auto nul = bytes.find('\0'); nul != std::string_view::npos) {
    handler.fail("unexpected NUL byte", nul + 1);
  } else if (json::sax_parse(handler.first(), handler.last(), &handler)) {
    return {};  // syntax errors come to the handler's parse_error: nothing is thrown
  }
  return std::unexpected(handler.error());
}

}  // namespace mossglow::journal
