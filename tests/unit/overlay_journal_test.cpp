#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "overlay/journal.hpp"
#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

const std::string hash_a(64, 'a');
const Overlay finished{"C:\\Users\\u\\Desktop\\Notes.txt", "C:\\Users\\u\\Desktop\\Notes.txt.lnk",
                       hash_a};
const Overlay unfinished{"C:\\Users\\Public\\Desktop\\Tools",
                         "C:\\Users\\Public\\Desktop\\Tools.lnk", std::nullopt};

// One finished and one unfinished record, line for line as the program writes them.
const std::string written_journal =
    "[\n"
    "  {\n"
    "    \"original\": \"C:\\\\Users\\\\u\\\\Desktop\\\\Notes.txt\",\n"
    "    \"shortcut\": \"C:\\\\Users\\\\u\\\\Desktop\\\\Notes.txt.lnk\",\n"
    "    \"shortcut_hash\": \"" +
    hash_a +
    "\"\n"
    "  },\n"
    "  {\n"
    "    \"original\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\Tools\",\n"
    "    \"shortcut\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\Tools.lnk\",\n"
    "    \"shortcut_hash\": null\n"
    "  }\n"
    "]";

TEST(OverlayJournal, WritesTheJournalLayoutByteForByte) {
  EXPECT_EQ(serialize_overlay_journal({}), "[]");
  EXPECT_EQ(serialize_overlay_journal({finished, unfinished}), written_journal);
  const auto parsed = parse_overlay_journal(written_journal);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(*parsed, (std::vector<Overlay>{finished, unfinished}));
}

TEST(OverlayJournal, ChinesePathsAreWrittenAsTheirOwnCharacters) {
  const Overlay chinese{"C:\\桌面\\笔记.txt", "C:\\桌面\\笔记.txt.lnk", std::nullopt};
  const auto bytes = serialize_overlay_journal({chinese});
  ASSERT_TRUE(bytes);
  EXPECT_NE(bytes->find("\"C:\\\\桌面\\\\笔记.txt.lnk\""), std::string::npos) << *bytes;
  EXPECT_EQ(bytes->find("\\u"), std::string::npos) << *bytes;
  EXPECT_EQ(parse_overlay_journal(*bytes), std::vector<Overlay>{chinese});
}

TEST(OverlayJournal, PathThatIsNotUnicodeCannotBeSavedAndTheJournalStays) {
  fake::FakeWindows w;
  w.files.add_file(in_data("overlay.json"), written_journal);
  const std::string lone_surrogate = "C:\\Users\\u\\Desktop\\\xED\xA0\x80";
  for (const Overlay& bad : {Overlay{lone_surrogate, "C:\\x.lnk", std::nullopt},
                             Overlay{"C:\\x", lone_surrogate + ".lnk", std::nullopt}}) {
    EXPECT_EQ(save_overlay_journal(w.system(), data_dir, {finished, bad}).error(),
              "path contains invalid UTF-8 characters");
    EXPECT_EQ(w.files.content(in_data("overlay.json")), written_journal);
    EXPECT_FALSE(w.files.exists(in_data("overlay.tmp")));
  }
}

struct ReadCase {
  const char* name;
  std::string input;
  Result<std::vector<Overlay>> expected;
};

Result<std::vector<Overlay>> fails(std::string text) { return std::unexpected(std::move(text)); }

// Records in the journal layout, or the error text: readable when a case fails.
std::string shown(const Result<std::vector<Overlay>>& result) {
  if (!result) return "error: " + result.error();
  return serialize_overlay_journal(*result).value_or("<unwritable>");
}

TEST(OverlayJournal, ReadingRules) {
  const Overlay ab{"a", "b", std::nullopt};
  const std::vector<ReadCase> cases{
      {"null hash", R"([{"original": "a", "shortcut": "b", "shortcut_hash": null}])", {{ab}}},
      {"hash left out", R"([{"original": "a", "shortcut": "b"}])", {{ab}}},
      {"unknown keys skipped",
       R"([{"note": [1, {"x": null}], "original": "a", "shortcut": "b", "attributes": 34}])",
       {{ab}}},
      {"keys in another order",
       R"([{"shortcut_hash": "h", "shortcut": "b", "original": "a"}])",
       {{Overlay{"a", "b", "h"}}}},
      {"array form", R"([["a", "b", null], ["c", "d", "h"]])", {{ab, Overlay{"c", "d", "h"}}}},
      {"whitespace after the list", "[] \t\r\n", {{}}},
      {"shortcut missing", "[\n  {\n    \"original\": \"a\"\n  }\n]",
       fails("missing field `shortcut` at line 4 column 3")},
      {"original missing", R"([{"shortcut": "b"}])",
       fails("missing field `original` at line 1 column 18")},
      {"key twice", R"([{"original": "a", "original": "b", "shortcut": "c"}])",
       fails("duplicate field `original` at line 1 column 29")},
      {"text after the list", R"([{"original": "a", "shortcut": "b"}] x)",
       fails("syntax error while parsing value - invalid literal; expected end of input at line 1 "
             "column 38")},
      {"array form too short", R"([["a", "b"]])",
       fails("invalid length 2, expected a record of 3 values at line 1 column 11")},
      {"array form too long", R"([["a", "b", null, 1]])",
       fails("invalid length 4, expected a record of 3 values at line 1 column 20")},
      {"hash of the wrong type", R"([{"original": "a", "shortcut": "b", "shortcut_hash": 5}])",
       fails("invalid type: integer `5`, expected a string at line 1 column 54")},
      {"record that is not an object", "[\"a\"]",
       fails("invalid type: string, expected a record at line 1 column 4")},
      {"bytes that are not UTF-8", "[{\"original\": \"\xFF\", \"shortcut\": \"b\"}]",
       fails("syntax error while parsing value - invalid string: ill-formed UTF-8 byte at line 1 "
             "column 16")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown(parse_overlay_journal(c.input)), shown(c.expected)) << c.name;
  }
}

}  // namespace
}  // namespace mossglow
