// The journal reader through the journals that use it. Positions: line = 1 + line
// breaks before the point, column = bytes from the line's start to the point, the
// point being just after the value, key or bracket at fault.
#include "state/journal_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recycle/journal.hpp"
#include "state/backup_journal.hpp"

namespace mossglow {
namespace {

template <class R>
std::string outcome(const Result<std::vector<R>>& parsed) {
  return parsed ? "read " + std::to_string(parsed->size()) : parsed.error();
}
std::string backup(std::string_view bytes) { return outcome(parse_backup_journal(bytes)); }
std::string recycle(std::string_view bytes) { return outcome(parse_recycle_journal(bytes)); }

// A one-record journal in the program's own layout whose first member is `first`.
std::string journal_starting(std::string_view first) {
  return "[\n  {\n    " + std::string(first) +
         ",\n    \"backup\": \"b\",\n    \"original_hash\": \"h\"\n  }\n]";
}
// A recycle journal whose one record's replacement is `raw`.
std::string replaced_by(std::string_view raw) {
  return R"([{"name":"","replacement":)" + std::string(raw) + "}]";
}

TEST(JournalReader, AcceptsEveryFormTheRecordTypesAllow) {
  const Record bare{"p", "b", "h", std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  const Record full{"p", "b", "h", "a", "r", "rh", 7};
  const struct {
    const char* name;
    std::string input;
    std::vector<Record> records;
  } cases[] = {
      {"empty list among blanks", " \t\r\n[ ]\n\n", {}},
      {"optional keys missing", R"([{"path":"p","backup":"b","original_hash":"h"}])", {bare}},
      {"optional keys null",
       R"([{"path":"p","backup":"b","original_hash":"h","applied_hash":null,)"
       R"("replacement_path":null,"replacement_hash":null}])",
       {bare}},
      {"keys in any order, unknown ones skipped whatever they hold",
       R"([{"replacement_hash":"rh","x":{"path":[1,-2.5e3,true,null,{"y":[]}]},"original_hash":"h",)"
       R"("replacement_path":"r","attributes":7,"applied_hash":"a","backup":"b","path":"p","n":0}])",
       {full}},
      {"array form, without the key added later or with it",
       R"([["p","b","h",null,null,null],["p","b","h","a","r","rh",7]])",
       {bare, full}},
      {"escapes",
       R"([["C:\\\"\/\b\f\n\r\t\u00e9\ud83d\ude00","b","h",null,null,null]])",
       {Record{"C:\\\"/\b\f\n\r\té😀", "b", "h", std::nullopt, std::nullopt, std::nullopt,
               std::nullopt}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_backup_journal(c.input), c.records) << c.name;
  }
  EXPECT_EQ(
      parse_recycle_journal(
          R"([{"name":"a","original":[4,[]],"replacement":{"kind":1,"bytes":[0,255]}},)"
          R"({"replacement":[2,[7]],"original":null,"name":"b"}])"),
      (std::vector<Value>{{"a", Raw{4, {}}, Raw{1, {0, 255}}}, {"b", std::nullopt, {2, {7}}}}));
}

TEST(JournalReader, DeeplyNestedUnknownValueIsSkipped) {
  const std::string nested = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(backup(R"([{"path":"p","backup":"b","original_hash":"h","x":)" + nested + "}]"),
            "read 1");
}

TEST(JournalReader, DamagedJournalsFailWithLineAndColumn) {
  const struct {
    const char* name;
    std::string (*read)(std::string_view);
    std::string input;
    std::string error;
  } cases[] = {
      {"empty file", backup, "",
       "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
       "literal at line 1 column 0"},
      {"byte-order mark", backup, "\xEF\xBB\xBF[]",
       "unexpected byte-order mark at line 1 column 1"},
      {"NUL byte after the list", backup, std::string("[]\n\0[", 5),
       "unexpected NUL byte at line 2 column 1"},
      {"text after the list", backup, "[] x",
       "syntax error while parsing value - invalid literal; expected end of input at line 1 column "
       "4"},
      {"object for the list", backup, "{}",
       "invalid type: object, expected an array at line 1 column 1"},
      {"number for a record", backup, "[5]",
       "invalid type: integer `5`, expected a record at line 1 column 2"},
      {"not UTF-8", backup, "[{\"path\":\"a\xFF\"}]",
       "syntax error while parsing value - invalid string: ill-formed UTF-8 byte at line 1 column "
       "12"},
      {"not UTF-8 in an unknown key", backup, "[{\"\xC3x\":1}]",
       "syntax error while parsing object key - invalid string: ill-formed UTF-8 byte; expected "
       "string literal at line 1 column 5"},
      {"number for a path", backup, journal_starting("\"path\": 5"),
       "invalid type: integer `5`, expected a string at line 3 column 13"},
      {"number at the very end", backup, "[{\"path\": -5",
       "invalid type: integer `-5`, expected a string at line 1 column 12"},
      {"fraction", backup, journal_starting("\"path\": 1.5e3"),
       "invalid type: floating point `1.5e3`, expected a string at line 3 column 17"},
      {"number too large", backup, journal_starting("\"path\": 1e400"),
       "number overflow parsing '1e400' at line 3 column 17"},
      {"null for a required path", backup, journal_starting("\"path\": null"),
       "invalid type: null, expected a string at line 3 column 16"},
      {"list for a path", backup, journal_starting("\"path\": [\"a\"]"),
       "invalid type: array, expected a string at line 3 column 13"},
      {"number for an optional hash", backup, journal_starting("\"applied_hash\": 7"),
       "invalid type: integer `7`, expected a string at line 3 column 21"},
      {"missing field", backup, "[\n  {\n    \"path\": \"a\",\n    \"backup\": \"b\"\n  }\n]",
       "missing field `original_hash` at line 5 column 3"},
      {"first missing field named", backup, "[\n  {\n    \"original_hash\": \"h\"\n  }\n]",
       "missing field `path` at line 4 column 3"},
      {"repeated key", backup, journal_starting("\"path\": \"a\",\n    \"path\": \"b\""),
       "duplicate field `path` at line 4 column 10"},
      {"repeated key, blanks before the colon", backup,
       journal_starting("\"path\": \"a\",\n    \"path\" \n : \"b\""),
       "duplicate field `path` at line 5 column 1"},
      {"array form too short", backup, R"([["p","b","h",null]])",
       "invalid length 4, expected a record of 6 to 8 values at line 1 column 19"},
      {"array form too long", backup, R"([["p","b","h",null,null,null,1,true,[{"x":1}]]])",
       "invalid length 9, expected a record of 6 to 8 values at line 1 column 46"},
      {"flag not a boolean", backup, R"([["p","b","h",null,null,null,1,1]])",
       "invalid type: integer `1`, expected a boolean at line 1 column 32"},
      {"kind beyond 32 bits", recycle, replaced_by(R"({"kind":4294967296,"bytes":[]})"),
       "invalid value: integer `4294967296`, expected u32 at line 1 column 44"},
      {"kind beyond 64 bits", recycle, replaced_by(R"([18446744073709551616,[]])"),
       "invalid value: integer `18446744073709551616`, expected u32 at line 1 column 47"},
      {"negative kind", recycle, replaced_by(R"({"kind":-1,"bytes":[]})"),
       "invalid value: integer `-1`, expected u32 at line 1 column 36"},
      {"byte beyond 255", recycle, replaced_by(R"({"kind":1,"bytes":[0,256]})"),
       "invalid value: integer `256`, expected u8 at line 1 column 50"},
      {"bytes as text", recycle, replaced_by(R"({"kind":1,"bytes":"AAA="})"),
       "invalid type: string, expected an array at line 1 column 50"},
      {"text for a nested record", recycle, replaced_by(R"("x")"),
       "invalid type: string, expected a record at line 1 column 29"},
      {"field missing in a nested record", recycle, replaced_by(R"({"kind":1})"),
       "missing field `bytes` at line 1 column 36"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.read(c.input), c.error) << c.name;
  }
}

}  // namespace
}  // namespace mossglow
