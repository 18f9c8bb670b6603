#include "state/backup_journal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mossglow {
namespace {

const Record skinned{"C:\\Users\\user\\Desktop\\应用.lnk",
                     "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\0.lnk",
                     std::string(64, 'a'),
                     std::string(64, 'b'),
                     std::nullopt,
                     std::nullopt,
                     std::nullopt};
const Record pending{"C:\\Users\\Public\\Desktop\\Site.URL",
                     "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\1.URL",
                     std::string(64, 'c'),
                     std::nullopt,
                     std::nullopt,
                     std::nullopt,
                     std::nullopt};
const Record converted{"C:\\Users\\user\\Desktop\\Game.url",
                       "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\2.url",
                       std::string(64, 'd'),
                       std::nullopt,
                       "C:\\Users\\user\\Desktop\\Game.lnk",
                       std::string(64, 'e'),
                       file_attribute_hidden | file_attribute_archive};

constexpr std::string_view written_journal =
    "[\n"
    "  {\n"
    "    \"path\": \"C:\\\\Users\\\\user\\\\Desktop\\\\应用.lnk\",\n"
    "    \"backup\": "
    "\"C:\\\\Users\\\\user\\\\AppData\\\\Local\\\\MossglowHome\\\\originals\\\\0.lnk\",\n"
    "    \"original_hash\": \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\",\n"
    "    \"applied_hash\": \"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\"\n"
    "  },\n"
    "  {\n"
    "    \"path\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\Site.URL\",\n"
    "    \"backup\": "
    "\"C:\\\\Users\\\\user\\\\AppData\\\\Local\\\\MossglowHome\\\\originals\\\\1.URL\",\n"
    "    \"original_hash\": \"cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc\",\n"
    "    \"applied_hash\": null\n"
    "  },\n"
    "  {\n"
    "    \"path\": \"C:\\\\Users\\\\user\\\\Desktop\\\\Game.url\",\n"
    "    \"backup\": "
    "\"C:\\\\Users\\\\user\\\\AppData\\\\Local\\\\MossglowHome\\\\originals\\\\2.url\",\n"
    "    \"original_hash\": \"dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd\",\n"
    "    \"applied_hash\": null,\n"
    "    \"replacement_path\": \"C:\\\\Users\\\\user\\\\Desktop\\\\Game.lnk\",\n"
    "    \"replacement_hash\": "
    "\"eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee\",\n"
    "    \"attributes\": 34\n"
    "  }\n"
    "]";

TEST(BackupJournal, WritesTheJournalLayoutByteForByteAndReadsItBack) {
  EXPECT_EQ(serialize_backup_journal({}), "[]");
  EXPECT_EQ(serialize_backup_journal({skinned, pending, converted}), written_journal);
  EXPECT_EQ(parse_backup_journal(written_journal),
            (std::vector<Record>{skinned, pending, converted}));
}

TEST(BackupJournal, EscapesOnlyWhatJsonRequires) {
  const Record odd{
      "C:\\a\"b\tc\x01\x7f/é😀", "b", "h", std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(serialize_backup_journal({odd}),
            "[\n  {\n    \"path\": \"C:\\\\a\\\"b\\tc\\u0001\x7f/é😀\",\n    \"backup\": \"b\",\n"
            "    \"original_hash\": \"h\",\n    \"applied_hash\": null\n  }\n]");
}

TEST(BackupJournal, PathThatIsNotUnicodeCannotBeSaved) {
  const std::string lone_surrogate = "C:\\Users\\user\\Desktop\\\xED\xA0\x80.lnk";
  for (int field = 0; field < 3; ++field) {
    Record record = converted;
    (field == 0   ? record.path
     : field == 1 ? record.backup
                  : *record.replacement_path) = lone_surrogate;
    EXPECT_EQ(serialize_backup_journal({skinned, record}).error(),
              "path contains invalid UTF-8 characters")
        << field;
  }
}

}  // namespace
}  // namespace mossglow
