#include "state/backup_journal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

const Record skinned{"C:\\Users\\user\\Desktop\\应用.lnk",
                     "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\0.lnk",
                     std::string(64, 'a'),
                     std::string(64, 'b'),
                     std::nullopt,
                     std::nullopt};
const Record pending{"C:\\Users\\Public\\Desktop\\Site.URL",
                     "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\1.URL",
                     std::string(64, 'c'),
                     std::nullopt,
                     std::nullopt,
                     std::nullopt};
const Record converted{"C:\\Users\\user\\Desktop\\Game.url",
                       "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\2.url",
                       std::string(64, 'd'),
                       std::nullopt,
                       "C:\\Users\\user\\Desktop\\Game.lnk",
                       std::string(64, 'e')};

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
    "\"eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee\"\n"
    "  }\n"
    "]";

TEST(BackupJournal, WritesTheJournalLayoutByteForByte) {
  EXPECT_EQ(serialize_backup_journal({}), "[]");
  EXPECT_EQ(serialize_backup_journal({skinned, pending, converted}), written_journal);
}

TEST(BackupJournal, EscapesOnlyWhatJsonRequires) {
  const Record odd{"C:\\a\"b\tc\x01\x7f/é😀", "b", "h", std::nullopt, std::nullopt, std::nullopt};
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

TEST(BackupJournal, ReadsBackWhatItWrote) {
  const auto parsed = parse_backup_journal(written_journal);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(*parsed, (std::vector<Record>{skinned, pending, converted}));
  EXPECT_EQ(serialize_backup_journal(*parsed), written_journal);
}

TEST(BackupJournal, LoadThenSaveKeepsAProgramWrittenJournalByteForByte) {
  fake::FakeWindows w;
  w.files.add_file(in_data("backup.json"), written_journal);
  const auto loaded = load_backup_journal(w.system(), data_dir);
  ASSERT_TRUE(loaded) << loaded.error();
  ASSERT_TRUE(loaded->has_value());
  ASSERT_TRUE(save_backup_journal(w.system(), data_dir, **loaded));
  EXPECT_EQ(w.files.content(in_data("backup.json")), written_journal);
  EXPECT_FALSE(w.files.exists(in_data("backup.tmp")));
}

TEST(BackupJournal, UnknownKeysAndAMissingAppliedHashAreDroppedAtTheNextSave) {
  fake::FakeWindows w;
  w.files.add_file(in_data("backup.json"),
                   "[{\"comment\": \"by hand\", \"path\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\"
                   "Site.URL\", \"backup\": \"C:\\\\Users\\\\user\\\\AppData\\\\Local\\\\"
                   "MossglowHome\\\\originals\\\\1.URL\", \"original_hash\": \"" +
                       std::string(64, 'c') + "\"}]");
  const auto loaded = load_backup_journal(w.system(), data_dir);
  ASSERT_TRUE(loaded) << loaded.error();
  ASSERT_TRUE(loaded->has_value());
  EXPECT_EQ(**loaded, std::vector<Record>{pending});
  ASSERT_TRUE(save_backup_journal(w.system(), data_dir, **loaded));
  EXPECT_EQ(w.files.content(in_data("backup.json")), serialize_backup_journal({pending}));
}

TEST(BackupJournal, LoadTellsAbsentFromUnreadableFromDamaged) {
  fake::FakeWindows w;
  // No journal: nothing to restore.
  auto loaded = load_backup_journal(w.system(), data_dir);
  ASSERT_TRUE(loaded) << loaded.error();
  EXPECT_FALSE(loaded->has_value());

  // Metadata that cannot be read is not absence: the journal may well be there.
  w.files.add_file(in_data("backup.json"), written_journal);
  w.faults.fail_on_path(fake::Op::get_attributes, in_data("backup.json"), error_access_denied);
  EXPECT_EQ(load_backup_journal(w.system(), data_dir).error(), "Access is denied. (os error 5)");
  w.faults.clear();

  w.faults.fail_nth(fake::Op::read_file, 1, error_sharing_violation);
  EXPECT_EQ(load_backup_journal(w.system(), data_dir).error(),
            "The process cannot access the file because it is being used by another process. "
            "(os error 32)");

  // A damaged journal: the parser's text, and the file stays as it is.
  const std::string damaged = "[\n  {\n    \"path\": \"a\",\n    \"backup\": \"b\"\n  }\n]";
  w.files.add_file(in_data("backup.json"), damaged);
  EXPECT_EQ(load_backup_journal(w.system(), data_dir).error(),
            "missing field `original_hash` at line 5 column 3");
  EXPECT_EQ(w.files.content(in_data("backup.json")), damaged);

  w.files.add_file(in_data("backup.json"), "");
  EXPECT_EQ(load_backup_journal(w.system(), data_dir).error(),
            "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
            "literal at line 1 column 0");
}

}  // namespace
}  // namespace mossglow
