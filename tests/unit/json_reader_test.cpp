// The journal reader must reject damaged journals with the same texts (message, line
// and column) that earlier versions of the program showed. Every expected position
// below is counted by hand: line = 1 + line breaks before the point, column = bytes
// since the last line break, the point being just after the byte that was consumed
// last (or just after the offending byte when it was only looked at).
#include "state/json_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "state/backup_journal.hpp"

namespace mossglow {
namespace {

std::string parse_error(std::string_view bytes) {
  const auto parsed = parse_backup_journal(bytes);
  if (parsed) return "(parsed " + std::to_string(parsed->size()) + " records)";
  return parsed.error();
}

// A one-record journal in the program's own layout whose first member is `first`.
std::string journal_starting(std::string_view first) {
  return "[\n  {\n    " + std::string(first) +
         ",\n    \"backup\": \"b\",\n    \"original_hash\": \"h\"\n  }\n]";
}

struct Case {
  const char* name;
  std::string input;
  std::string error;
};

TEST(JournalReader, DamagedJournalsFailWithTheParserTextAndPosition) {
  const std::vector<Case> cases{
      {"empty file", "", "EOF while parsing a value at line 1 column 0"},
      {"only whitespace", " \r\n", "EOF while parsing a value at line 2 column 0"},
      {"byte-order mark", "\xEF\xBB\xBF[]", "expected value at line 1 column 1"},
      {"text after the list", "[] x", "trailing characters at line 1 column 4"},
      {"second list", "[]\n[]", "trailing characters at line 2 column 1"},
      {"object instead of list", "{}", "invalid type: map, expected a sequence at line 1 column 0"},
      {"string instead of list", "\"abc\"",
       "invalid type: string \"abc\", expected a sequence at line 1 column 5"},
      {"number instead of record", "[5]",
       "invalid type: integer `5`, expected struct Record at line 1 column 2"},
      {"unterminated list", "[", "EOF while parsing a list at line 1 column 1"},
      {"comma then end", "[{\"path\":\"a\",\"backup\":\"b\",\"original_hash\":\"c\"},",
       "EOF while parsing a value at line 1 column 47"},
      {"trailing comma in list", "[{\"path\":\"a\",\"backup\":\"b\",\"original_hash\":\"c\"},]",
       "trailing comma at line 1 column 48"},
      {"records without comma", "[{\"path\":\"a\",\"backup\":\"b\",\"original_hash\":\"c\"} {}]",
       "expected `,` or `]` at line 1 column 48"},
      {"unterminated record", "[{\"path\":\"a\"",
       "EOF while parsing an object at line 1 column 12"},
      {"unterminated string", "[{\"path\":\"a", "EOF while parsing a string at line 1 column 11"},
      {"key without quotes", "[{path:1}]", "key must be a string at line 1 column 3"},
      {"missing colon", "[{\"path\" \"a\"}]", "expected `:` at line 1 column 10"},
      {"trailing comma in record", "[{\"path\":\"a\",}]", "trailing comma at line 1 column 14"},
      {"members without comma", "[{\"path\":\"a\" \"backup\":\"b\"}]",
       "expected `,` or `}` at line 1 column 14"},
      {"number for a path", journal_starting("\"path\": 5"),
       "invalid type: integer `5`, expected a string at line 3 column 13"},
      {"negative number", journal_starting("\"path\": -5"),
       "invalid type: integer `-5`, expected a string at line 3 column 14"},
      {"fraction", journal_starting("\"path\": 1.5"),
       "invalid type: floating point `1.5`, expected a string at line 3 column 15"},
      {"exponent", journal_starting("\"path\": 1e3"),
       "invalid type: floating point `1000.0`, expected a string at line 3 column 15"},
      {"integer beyond 64 bits", journal_starting("\"path\": 18446744073709551616"),
       "invalid type: floating point `1.8446744073709552e19`, expected a string at line 3 "
       "column 32"},
      {"too small for a double", journal_starting("\"path\": -1e-400"),
       "invalid type: floating point `-0.0`, expected a string at line 3 column 19"},
      {"too large for a double", journal_starting("\"path\": 1e400"),
       "number out of range at line 3 column 17"},
      {"leading zero", journal_starting("\"path\": 01"), "invalid number at line 3 column 14"},
      {"fraction without digits", journal_starting("\"path\": 1.x"),
       "invalid number at line 3 column 15"},
      {"exponent without digits", journal_starting("\"path\": 1ex"),
       "invalid number at line 3 column 15"},
      {"null for a required path", journal_starting("\"path\": null"),
       "invalid type: null, expected a string at line 3 column 16"},
      {"misspelt null", journal_starting("\"path\": nul!"), "expected ident at line 3 column 16"},
      {"boolean", journal_starting("\"path\": true"),
       "invalid type: boolean `true`, expected a string at line 3 column 16"},
      {"list for a path", journal_starting("\"path\": []"),
       "invalid type: sequence, expected a string at line 3 column 12"},
      {"object for a path", journal_starting("\"path\": {}"),
       "invalid type: map, expected a string at line 3 column 12"},
      {"number for an optional hash", journal_starting("\"applied_hash\": 7"),
       "invalid type: integer `7`, expected a string at line 3 column 21"},
      {"missing required key", "[\n  {\n    \"path\": \"a\",\n    \"backup\": \"b\"\n  }\n]",
       "missing field `original_hash` at line 5 column 3"},
      {"first missing key is named", "[\n  {\n    \"original_hash\": \"h\"\n  }\n]",
       "missing field `path` at line 4 column 3"},
      {"repeated key", journal_starting("\"path\": \"a\",\n    \"path\": \"b\""),
       "duplicate field `path` at line 4 column 10"},
      {"repeated key, space before the colon",
       journal_starting("\"path\": \"a\",\n    \"path\" : \"b\""),
       "duplicate field `path` at line 4 column 11"},
      {"repeated optional key",
       journal_starting("\"applied_hash\": null,\n    \"applied_hash\": \"x\""),
       "duplicate field `applied_hash` at line 4 column 18"},
      {"invalid UTF-8 in a path", "[{\"path\":\"\xFF\"}]",
       "invalid unicode code point at line 1 column 12"},
      {"invalid UTF-8 in a key", "[{\"pa\xC3th\":1}]",
       "invalid unicode code point at line 1 column 9"},
      {"encoded surrogate in a path", "[{\"path\":\"\xED\xA0\x80\"}]",
       "invalid unicode code point at line 1 column 14"},
      {"control character in a string", "[{\"path\":\"a\tb\"}]",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 12"},
      {"unknown escape", "[{\"path\":\"a\\x\"}]", "invalid escape at line 1 column 13"},
      {"bad hex digit", "[{\"path\":\"\\u12G4\"}]", "invalid escape at line 1 column 16"},
      {"escape cut short", "[{\"path\":\"\\u12", "EOF while parsing a string at line 1 column 14"},
      {"lone trailing surrogate", "[{\"path\":\"\\udc00\"}]",
       "lone leading surrogate in hex escape at line 1 column 16"},
      {"leading surrogate alone", "[{\"path\":\"\\ud800x\"}]",
       "unexpected end of hex escape at line 1 column 17"},
      {"leading surrogate before another escape", "[{\"path\":\"\\ud800\\n\"}]",
       "unexpected end of hex escape at line 1 column 18"},
      {"two leading surrogates", "[{\"path\":\"\\ud800\\ud800\"}]",
       "lone leading surrogate in hex escape at line 1 column 22"},
      {"record as a short list", "[[\"p\",\"b\",\"h\",null]]",
       "invalid length 4, expected struct Record with 6 elements at line 1 column 19"},
      {"record as a long list", "[[\"p\",\"b\",\"h\",null,null,null,\"x\"]]",
       "trailing characters at line 1 column 30"},
      {"damaged value under an unknown key", "[{\"extra\":[1,}]",
       "expected value at line 1 column 14"},
      {"unterminated value under an unknown key", "[{\"extra\":{\"a\":[",
       "EOF while parsing a list at line 1 column 16"},
      {"object key under an unknown key", "[{\"extra\":{\"a\":1,}}]",
       "key must be a string at line 1 column 18"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_error(c.input), c.error) << c.name;
  }
}

TEST(JournalReader, AcceptsWhatTheRecordTypeAllows) {
  const Record full{"p", "b", "h", "a", std::nullopt, std::nullopt};
  const Record bare{"p", "b", "h", std::nullopt, std::nullopt, std::nullopt};
  struct Accepted {
    const char* name;
    std::string input;
    std::vector<Record> records;
  };
  const std::vector<Accepted> cases{
      {"empty list with whitespace around", " \t\r\n[ ]\n\n", {}},
      {"optional keys absent",
       "[{\"path\":\"p\",\"backup\":\"b\",\"original_hash\":\"h\"}]",
       {bare}},
      {"keys in any order",
       "[{\"applied_hash\":\"a\",\"original_hash\":\"h\",\"backup\":\"b\",\"path\":\"p\"}]",
       {full}},
      {"unknown keys ignored",
       "[{\"path\":\"p\",\"note\":{\"deep\":[1,-2.5e3,true,null,\"\\u0000\xFF\"]},"
       "\"backup\":\"b\",\"original_hash\":\"h\",\"applied_hash\":\"a\",\"n\":0}]",
       {full}},
      {"record as a list", "[[\"p\",\"b\",\"h\",\"a\",null,null]]", {full}},
      {"escaped key", "[{\"pa\\u0074h\":\"p\",\"backup\":\"b\",\"original_hash\":\"h\"}]", {bare}},
      {"escapes and a surrogate pair",
       "[{\"path\":\"C:\\\\\\\"\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\",\"backup\":\"b\","
       "\"original_hash\":\"h\"}]",
       {Record{"C:\\\"/\b\f\n\r\té😀", "b", "h", std::nullopt, std::nullopt, std::nullopt}}},
      {"Steam record",
       "[{\"path\":\"p\",\"backup\":\"b\",\"original_hash\":\"h\",\"applied_hash\":null,"
       "\"replacement_path\":\"r\",\"replacement_hash\":\"rh\"}]",
       {Record{"p", "b", "h", std::nullopt, "r", "rh"}}},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_backup_journal(c.input);
    ASSERT_TRUE(parsed) << c.name << ": " << parsed.error();
    EXPECT_EQ(*parsed, c.records) << c.name;
  }
}

TEST(JournalReader, DeeplyNestedUnknownValueIsSkippedWithoutRecursion) {
  const std::size_t depth = 200000;
  const std::string nested = std::string(depth, '[') + std::string(depth, ']');
  const std::string input =
      "[{\"path\":\"p\",\"backup\":\"b\",\"original_hash\":\"h\",\"x\":" + nested + "}]";
  const auto parsed = parse_backup_journal(input);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(parsed->size(), 1u);
}

// Typed lists nest at most 127 deep, as in the reader the journals came from.
TEST(JournalReader, TypedNestingStopsAtTheRecursionLimit) {
  std::function<json::Parsed<void>(json::Deserializer&)> nested_list = [&](json::Deserializer& de) {
    return de.deserialize_seq("a sequence", [&](json::SeqAccess& seq) -> json::Parsed<void> {
      auto more = seq.next_element();
      if (!more) return std::unexpected(more.error());
      if (*more) return nested_list(seq.de());
      return {};
    });
  };
  EXPECT_TRUE(json::from_slice(std::string(127, '[') + std::string(127, ']'), nested_list));
  EXPECT_EQ(json::from_slice(std::string(200, '['), nested_list).error(),
            "recursion limit exceeded at line 1 column 128");
}

// The numeric fields of other journals: range checks and their texts.
TEST(JournalReader, UnsignedNumbers) {
  const auto read_u8 = [](std::string_view input) -> std::string {
    std::string shown;
    const auto done = json::from_slice(input, [&](json::Deserializer& de) -> json::Parsed<void> {
      auto value = de.deserialize_u8();
      if (!value) return std::unexpected(value.error());
      shown = std::to_string(*value);
      return {};
    });
    return done ? shown : done.error();
  };
  const auto read_u32 = [](std::string_view input) -> std::string {
    std::string shown;
    const auto done = json::from_slice(input, [&](json::Deserializer& de) -> json::Parsed<void> {
      auto value = de.deserialize_u32();
      if (!value) return std::unexpected(value.error());
      shown = std::to_string(*value);
      return {};
    });
    return done ? shown : done.error();
  };
  EXPECT_EQ(read_u8(" 255 "), "255");
  EXPECT_EQ(read_u8("-0"), "0");
  EXPECT_EQ(read_u8("300"), "invalid value: integer `300`, expected u8 at line 1 column 3");
  EXPECT_EQ(read_u8("-5"), "invalid value: integer `-5`, expected u8 at line 1 column 2");
  EXPECT_EQ(read_u8("2.0"), "invalid type: floating point `2.0`, expected u8 at line 1 column 3");
  EXPECT_EQ(read_u8("\"7\""), "invalid type: string \"7\", expected u8 at line 1 column 3");
  EXPECT_EQ(read_u8(""), "EOF while parsing a value at line 1 column 0");
  EXPECT_EQ(read_u8("-"), "EOF while parsing a value at line 1 column 1");
  EXPECT_EQ(read_u8("-a"), "invalid number at line 1 column 2");
  EXPECT_EQ(read_u8("1."), "EOF while parsing a value at line 1 column 2");
  EXPECT_EQ(read_u8("1e"), "EOF while parsing a value at line 1 column 2");
  EXPECT_EQ(read_u32("4294967295"), "4294967295");
  EXPECT_EQ(read_u32("4294967296"),
            "invalid value: integer `4294967296`, expected u32 at line 1 column 10");
  EXPECT_EQ(read_u32("1e99999999999"), "number out of range at line 1 column 12");
  EXPECT_EQ(read_u32("0e99999999999"),
            "invalid type: floating point `0.0`, expected u32 at line 1 column 13");
}

// The shape of the registry journal's records: a nested record, optional, holding a
// number and a list of bytes.
TEST(JournalReader, NestedRecordsWithNumbers) {
  struct Raw {
    std::uint32_t kind = 0;
    std::vector<std::uint8_t> bytes;
  };
  static constexpr json::Field raw_fields[] = {{"kind", false}, {"bytes", false}};
  static constexpr json::Field value_fields[] = {
      {"name", false}, {"original", true}, {"replacement", false}};
  const auto read_raw = [](json::Deserializer& de, Raw& raw) {
    return de.deserialize_struct(
        "Raw", raw_fields, [&raw](std::size_t index, json::Deserializer& d) -> json::Parsed<void> {
          if (index == 0) {
            auto kind = d.deserialize_u32();
            if (!kind) return std::unexpected(kind.error());
            raw.kind = *kind;
            return {};
          }
          return d.deserialize_seq("a sequence",
                                   [&raw](json::SeqAccess& seq) -> json::Parsed<void> {
                                     for (;;) {
                                       auto more = seq.next_element();
                                       if (!more) return std::unexpected(more.error());
                                       if (!*more) return {};
                                       auto byte = seq.de().deserialize_u8();
                                       if (!byte) return std::unexpected(byte.error());
                                       raw.bytes.push_back(*byte);
                                     }
                                   });
        });
  };
  std::optional<Raw> original;
  Raw replacement;
  const auto read_value = [&](std::string_view input) {
    original.reset();
    replacement = Raw{};
    return json::from_slice(input, [&](json::Deserializer& de) {
      return de.deserialize_struct(
          "Value", value_fields,
          [&](std::size_t index, json::Deserializer& d) -> json::Parsed<void> {
            if (index == 0) {
              auto name = d.deserialize_string();
              if (!name) return std::unexpected(name.error());
              return {};
            }
            if (index == 2) return read_raw(d, replacement);
            auto some = d.deserialize_option();
            if (!some) return std::unexpected(some.error());
            if (!*some) return {};
            original.emplace();
            return read_raw(d, *original);
          });
    });
  };

  ASSERT_TRUE(
      read_value("{\"name\":\"x\",\"original\":{\"kind\":4,\"bytes\":[]},"
                 "\"replacement\":{\"kind\":1,\"bytes\":[0,255]}}"));
  ASSERT_TRUE(original);
  EXPECT_EQ(original->kind, 4u);
  EXPECT_TRUE(original->bytes.empty());
  EXPECT_EQ(replacement.bytes, (std::vector<std::uint8_t>{0, 255}));

  ASSERT_TRUE(read_value("{\"name\":\"x\",\"replacement\":[2,[7]]}"));
  EXPECT_FALSE(original);
  EXPECT_EQ(replacement.kind, 2u);

  EXPECT_EQ(read_value("{\"name\":\"x\",\"original\":null,\"replacement\":{\"kind\":1,"
                       "\"bytes\":[1,2,300]}}")
                .error(),
            "invalid value: integer `300`, expected u8 at line 1 column 68");
  EXPECT_EQ(read_value("{\"name\":\"x\",\"replacement\":{\"kind\":1}}").error(),
            "missing field `bytes` at line 1 column 36");
  EXPECT_EQ(read_value("{\"name\":\"x\",\"replacement\":{\"kind\":\"1\",\"bytes\":[]}}").error(),
            "invalid type: string \"1\", expected u32 at line 1 column 37");
}

TEST(JournalReader, ShowsUnwantedValuesAsRustDoes) {
  using namespace std::string_view_literals;
  EXPECT_EQ(json::debug_string("a\"b\\c\nd\te\r\x01\x7f\0z"sv),
            R"("a\"b\\c\nd\te\r\u{1}\u{7f}\0z")");
  EXPECT_EQ(json::debug_string("é\u00a0\u200b中"), R"("é\u{a0}\u{200b}中")");

  EXPECT_EQ(json::display_float(1.5), "1.5");
  EXPECT_EQ(json::display_float(1.0), "1.0");
  EXPECT_EQ(json::display_float(-0.0), "-0.0");
  EXPECT_EQ(json::display_float(0.1), "0.1");
  EXPECT_EQ(json::display_float(123.456), "123.456");
  EXPECT_EQ(json::display_float(1e15), "1000000000000000.0");
  EXPECT_EQ(json::display_float(0.00001), "0.00001");
  EXPECT_EQ(json::display_float(1e16), "1e16");
  EXPECT_EQ(json::display_float(1e21), "1e21");
  EXPECT_EQ(json::display_float(1.25e300), "1.25e300");
  EXPECT_EQ(json::display_float(-1.5e-7), "-1.5e-7");
}

}  // namespace
}  // namespace mossglow
