#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "contract_fixture.hpp"

namespace mossglow::contract {
namespace {

constexpr std::uint32_t hidden_archive = file_attribute_hidden | file_attribute_archive;
constexpr std::uint32_t readonly_archive = file_attribute_readonly | file_attribute_archive;

using FileSystemContract = ContractTest;

TEST_F(FileSystemContract, NamesIgnoreLetterCaseAndSeparatorKind) {
  make_file("Alpha.TXT", "first");
  auto read = files_.read_file(at("alpha.txt"));
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, "first");
  EXPECT_EQ(files_.read_file(dir_ + "/ALPHA.txt").value_or(""), "first");

  // Writing under another spelling rewrites the same file and keeps its first name.
  ASSERT_TRUE(files_.write_file(at("ALPHA.txt"), "second", false));
  EXPECT_EQ(files_.read_file(at("Alpha.TXT")).value_or(""), "second");
  EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{"Alpha.TXT"});
}

TEST_F(FileSystemContract, MetadataOfFilesFoldersAndMissingNames) {
  make_file("data.bin", "12345");
  ASSERT_TRUE(files_.create_directories(at("folder")));

  const auto file = files_.metadata(at("data.bin"));
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->is_directory());
  EXPECT_EQ(file->size, 5u);
  EXPECT_EQ(file->attributes, file_attribute_archive);

  const auto folder = files_.metadata(at("folder"));
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->is_directory());
  EXPECT_EQ(folder->attributes, file_attribute_directory);

  struct Case {
    std::string name;
    std::uint32_t code;
  };
  for (const Case& c : std::vector<Case>{{"missing.txt", error_file_not_found},
                                         {"missing\\child.txt", error_path_not_found},
                                         {"data.bin\\child.txt", error_path_not_found}}) {
    EXPECT_EQ(error_of(files_.metadata(at(c.name))), c.code) << c.name;
    EXPECT_FALSE(path_exists(files_, at(c.name))) << c.name;
  }
}

// The listing shows a symbolic link as itself: a reparse point whose tag is a name
// surrogate. That is how a link is told from a sync client's placeholder, which is a
// reparse point too.
TEST_F(FileSystemContract, MetadataFollowsLinksAndTheListingShowsTheLinkItself) {
  make_file("target.txt", "abc");
  if (!platform_->make_symlink(at("link.txt"), at("target.txt"), false)) {
    GTEST_SKIP() << "this platform cannot make symbolic links";
  }
  const auto followed = files_.metadata(at("link.txt"));
  ASSERT_TRUE(followed);
  EXPECT_FALSE(followed->is_directory());
  EXPECT_EQ(followed->size, 3u);
  const auto entry_of = [&](std::string_view name) {
    for (const auto& entry : files_.list_directory(dir_).value_or(std::vector<DirectoryEntry>{})) {
      if (entry.name == name) return std::optional(entry);
    }
    return std::optional<DirectoryEntry>();
  };
  ASSERT_TRUE(entry_of("link.txt"));
  EXPECT_TRUE(entry_of("link.txt")->is_link());
  EXPECT_EQ(entry_of("link.txt")->reparse_tag, reparse_tag_symlink);
  EXPECT_FALSE(entry_of("target.txt")->is_link());
  EXPECT_EQ(entry_of("target.txt")->reparse_tag, 0u);

  // A dangling link is absent for the existence test but still there as an entry.
  ASSERT_TRUE(files_.delete_file(at("target.txt")));
  EXPECT_EQ(error_of(files_.metadata(at("link.txt"))), error_file_not_found);
  EXPECT_TRUE(entry_of("link.txt"));
}

TEST_F(FileSystemContract, AttributesRoundTrip) {
  make_file("file.txt", "x");
  ASSERT_TRUE(files_.create_directories(at("folder")));
  EXPECT_EQ(files_.get_attributes(at("file.txt")).value_or(0), file_attribute_archive);
  EXPECT_EQ(files_.get_attributes(at("folder")).value_or(0), file_attribute_directory);

  // The words the program writes: the word read plus or minus hidden.
  for (const std::uint32_t word :
       {hidden_archive, hidden_archive | file_attribute_system, readonly_archive,
        readonly_archive | file_attribute_hidden, file_attribute_archive}) {
    ASSERT_TRUE(files_.set_attributes(at("file.txt"), word));
    EXPECT_EQ(files_.get_attributes(at("file.txt")).value_or(0), word) << std::hex << word;
    EXPECT_EQ(files_.metadata(at("file.txt")).value_or(FileMetadata{}).attributes, word);
  }
  // A folder keeps its directory bit whatever word is written.
  ASSERT_TRUE(files_.set_attributes(at("folder"), file_attribute_hidden));
  EXPECT_EQ(files_.get_attributes(at("folder")).value_or(0),
            file_attribute_directory | file_attribute_hidden);
  ASSERT_TRUE(files_.set_attributes(at("folder"), file_attribute_directory));
  EXPECT_EQ(files_.get_attributes(at("folder")).value_or(0), file_attribute_directory);

  EXPECT_EQ(error_of(files_.get_attributes(at("missing"))), error_file_not_found);
  EXPECT_EQ(error_of(files_.set_attributes(at("missing"), hidden_archive)), error_file_not_found);
  EXPECT_EQ(error_of(files_.get_attributes(at("none\\missing"))), error_path_not_found);
}

TEST_F(FileSystemContract, ListingShowsEveryEntryOnceWithoutDescending) {
  EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{});
  make_file("b.lnk", "");
  make_file("A.url", "");
  make_file("hidden.lnk", "", hidden_archive | file_attribute_system);
  ASSERT_TRUE(files_.create_directories(at("Sub\\deeper")));
  make_file("Sub\\inner.lnk", "");
  // No order is promised: Wine sorts, NTFS has its own. Compare as sets.
  EXPECT_EQ(sorted_listing(dir_),
            (std::vector<std::string>{"A.url", "b.lnk", "hidden.lnk", "Sub"}));
  EXPECT_EQ(sorted_listing(at("sub")), (std::vector<std::string>{"deeper", "inner.lnk"}));
  // A trailing separator names the same folder.
  EXPECT_EQ(sorted_listing(at("Sub\\")), (std::vector<std::string>{"deeper", "inner.lnk"}));
}

TEST_F(FileSystemContract, ListingOfAMissingFolderOrAFileFails) {
  make_file("file.txt", "x");
  EXPECT_EQ(error_of(files_.list_directory(at("missing"))), error_path_not_found);
  EXPECT_EQ(error_of(files_.list_directory(at("missing\\deeper"))), error_path_not_found);
  EXPECT_EQ(error_of(files_.list_directory(at("file.txt"))), listing_a_file_error());
  EXPECT_EQ(error_of(files_.list_directory(at("file.txt\\deeper"))), error_path_not_found);
}

TEST_F(FileSystemContract, WriteCreatesTruncatesAndReadsBackEveryByte) {
  const std::string binary("\0\x01\xff\r\n\x80 end", 10);
  ASSERT_TRUE(files_.write_file(at("f.bin"), binary, true));
  EXPECT_EQ(files_.read_file(at("f.bin")).value_or(""), binary);
  // Rewriting keeps the attributes of the file (desktop.ini is hidden and system).
  const std::uint32_t word = hidden_archive | file_attribute_system;
  ASSERT_TRUE(files_.set_attributes(at("f.bin"), word));
  ASSERT_TRUE(files_.write_file(at("f.bin"), "short", false));
  EXPECT_EQ(files_.read_file(at("f.bin")).value_or(""), "short");
  EXPECT_EQ(files_.metadata(at("f.bin")).value_or(FileMetadata{}).size, 5u);
  EXPECT_EQ(files_.get_attributes(at("f.bin")).value_or(0), word);
  ASSERT_TRUE(files_.write_file(at("f.bin"), "", false));
  const auto empty = files_.read_file(at("f.bin"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, "");

  const std::string big(300 * 1024, 'z');
  ASSERT_TRUE(files_.write_file(at("big.bin"), big, false));
  EXPECT_EQ(files_.read_file(at("big.bin")).value_or(""), big);
}

TEST_F(FileSystemContract, ReadAndWriteFailures) {
  make_file("locked.txt", "keep", readonly_archive);
  ASSERT_TRUE(files_.create_directories(at("folder")));

  EXPECT_EQ(error_of(files_.read_file(at("missing.txt"))), error_file_not_found);
  EXPECT_EQ(error_of(files_.read_file(at("none\\missing.txt"))), error_path_not_found);
  EXPECT_EQ(error_of(files_.read_file(at("folder"))), error_access_denied);
  EXPECT_EQ(error_of(files_.write_file(at("none\\new.txt"), "x", false)), error_path_not_found);
  EXPECT_EQ(error_of(files_.write_file(at("folder"), "x", false)), error_access_denied);
  if (read_only_binds_writes()) {
    EXPECT_EQ(error_of(files_.write_file(at("locked.txt"), "x", false)), error_access_denied);
    EXPECT_EQ(files_.read_file(at("locked.txt")).value_or(""), "keep");
  }
  EXPECT_EQ(error_of(files_.write_in_place(at("missing.txt"), "", "x")), error_file_not_found);
}

// How a file the user owns is changed: the same file, its bytes rewritten from the start
// and its end set, whatever attributes it has (a read-only one refuses, as it refuses
// any write), and only while it holds what the caller last saw: checked through the
// handle that writes. A name that does not exist is never created; a refusal says the
// file was left as it was.
TEST_F(FileSystemContract, WriteInPlaceRewritesTheSameFileToTheNewLengthWhileItIsAsSeen) {
  const std::uint32_t word = hidden_archive | file_attribute_system;
  make_file("shortcut.lnk", "the original bytes", word);
  std::string_view seen = "the original bytes";
  for (const std::string_view bytes : {"much longer than the original bytes were", "short", ""}) {
    SCOPED_TRACE(bytes);
    ASSERT_EQ(files_.write_in_place(at("shortcut.lnk"), seen, bytes).value_or(InPlace::differs),
              InPlace::written);
    EXPECT_EQ(files_.read_file(at("shortcut.lnk")).value_or("?"), bytes);
    EXPECT_EQ(files_.metadata(at("shortcut.lnk")).value_or(FileMetadata{}).size, bytes.size());
    EXPECT_EQ(files_.get_attributes(at("shortcut.lnk")).value_or(0), word);
    seen = bytes;
  }
  EXPECT_EQ(files_.write_in_place(at("shortcut.lnk"), "changed since", "x").value_or(InPlace{}),
            InPlace::differs);
  EXPECT_EQ(files_.read_file(at("shortcut.lnk")).value_or("?"), "");
  EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{"shortcut.lnk"});

  ASSERT_TRUE(files_.create_directories(at("folder")));
  const auto untouched = [](const InPlaceResult& result) {
    return !result && !result.error().touched;
  };
  EXPECT_EQ(error_of(files_.write_in_place(at("folder"), "", "x")), error_access_denied);
  EXPECT_TRUE(untouched(files_.write_in_place(at("none\\x.lnk"), "", "x")));
  EXPECT_EQ(error_of(files_.write_in_place(at("none\\x.lnk"), "", "x")), error_path_not_found);
  make_file("readonly.lnk", "keep", readonly_archive);
  if (read_only_binds_writes()) {
    const auto refused = files_.write_in_place(at("readonly.lnk"), "keep", "x");
    EXPECT_EQ(error_of(refused), error_access_denied);
    EXPECT_TRUE(untouched(refused));
    EXPECT_EQ(files_.read_file(at("readonly.lnk")).value_or(""), "keep");
  }
  EXPECT_FALSE(path_exists(files_, at("missing.lnk")));
}

TEST_F(FileSystemContract, CreateNewRefusesAnyExistingName) {
  ASSERT_TRUE(files_.create_new_file(at("new.lnk"), "fresh", true));
  EXPECT_EQ(files_.read_file(at("new.lnk")).value_or(""), "fresh");
  EXPECT_EQ(files_.get_attributes(at("new.lnk")).value_or(0), file_attribute_archive);
  ASSERT_TRUE(files_.create_new_file(at("empty.lnk"), "", false));
  EXPECT_EQ(files_.metadata(at("empty.lnk")).value_or(FileMetadata{99, 99}).size, 0u);

  ASSERT_TRUE(files_.create_directories(at("folder")));
  for (const char* name : {"new.lnk", "NEW.LNK", "folder"}) {
    EXPECT_EQ(error_of(files_.create_new_file(at(name), "other", false)), error_file_exists)
        << name;
  }
  EXPECT_EQ(files_.read_file(at("new.lnk")).value_or(""), "fresh");
  EXPECT_EQ(error_of(files_.create_new_file(at("none\\new.lnk"), "x", false)),
            error_path_not_found);
}

// The two ways a journal is saved over its last version.
TEST_F(FileSystemContract, RenameReplaceAndReplaceFileSwapInTheNewContent) {
  for (const bool by_rename : {true, false}) {
    SCOPED_TRACE(by_rename ? "rename_replace" : "replace_file");
    const auto swap = [&](const std::string& temporary, const std::string& journal) {
      return by_rename ? files_.rename_replace(temporary, journal)
                       : files_.replace_file(journal, temporary);
    };
    make_file("journal.json", "old journal");
    make_file("journal.tmp", "new journal");
    ASSERT_TRUE(swap(at("journal.tmp"), at("journal.json")));
    EXPECT_EQ(files_.read_file(at("journal.json")).value_or(""), "new journal");
    EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{"journal.json"});
    EXPECT_EQ(error_of(swap(at("missing.tmp"), at("journal.json"))), error_file_not_found);
    EXPECT_EQ(files_.read_file(at("journal.json")).value_or(""), "new journal");
    ASSERT_TRUE(files_.delete_file(at("journal.json")));
  }

  // A rename also moves onto a free name; ReplaceFileW needs a file to replace.
  make_file("journal.tmp", "x");
  ASSERT_TRUE(files_.rename_replace(at("journal.tmp"), at("moved.json")));
  EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{"moved.json"});
  EXPECT_EQ(error_of(files_.replace_file(at("missing.json"), at("moved.json"))),
            error_file_not_found);
  EXPECT_EQ(error_of(files_.replace_file(at("none\\missing.json"), at("moved.json"))),
            error_path_not_found);
  EXPECT_EQ(files_.read_file(at("moved.json")).value_or(""), "x");
  ASSERT_TRUE(files_.create_directories(at("folder")));
  EXPECT_EQ(error_of(files_.rename_replace(at("moved.json"), at("folder"))), error_access_denied);

  // A read-only journal is refused even where read-only does not bind writes.
  make_file("readonly.json", "keep", readonly_archive);
  EXPECT_EQ(error_of(files_.replace_file(at("readonly.json"), at("moved.json"))),
            error_access_denied);
  EXPECT_EQ(files_.read_file(at("readonly.json")).value_or(""), "keep");
  EXPECT_EQ(files_.read_file(at("moved.json")).value_or(""), "x");
}

// A file and its attribute word, for the tables below.
struct Entry {
  std::string content;
  std::uint32_t attributes;
  friend bool operator==(const Entry&, const Entry&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << '"' << entry.content << "\" 0x" << std::hex << entry.attributes << std::dec;
  }
};

// A lone temporary journal is moved onto its real name only while that name is free; a
// taken name leaves both files exactly as they were.
TEST_F(FileSystemContract, RenameNewMovesContentAndAttributesToAFreeNameOnly) {
  const auto entry = [&](std::string_view name) {
    return Entry{files_.read_file(at(name)).value_or("<none>"),
                 files_.get_attributes(at(name)).value_or(0)};
  };
  for (const std::uint32_t word :
       {file_attribute_archive, hidden_archive, readonly_archive, file_attribute_hidden,
        hidden_archive | file_attribute_system | file_attribute_readonly}) {
    SCOPED_TRACE(word);
    make_file("journal.tmp", "link", word);
    ASSERT_TRUE(files_.rename_new(at("journal.tmp"), at("journal.json")));
    EXPECT_EQ(entry("journal.json"), (Entry{"link", file_word_as_read(word)}));
    EXPECT_FALSE(path_exists(files_, at("journal.tmp")));
    ASSERT_TRUE(files_.set_attributes(at("journal.json"), file_attribute_archive));
    ASSERT_TRUE(files_.delete_file(at("journal.json")));
  }

  make_file("new.tmp", "new", hidden_archive);
  make_file("taken.lnk", "taken");
  make_file("hidden.lnk", "hidden", hidden_archive | file_attribute_system);
  make_file("readonly.lnk", "readonly", readonly_archive);
  ASSERT_TRUE(files_.create_directories(at("folder")));
  const std::vector<std::string> before = sorted_listing(dir_);
  for (const char* taken : {"taken.lnk", "TAKEN.LNK", "hidden.lnk", "readonly.lnk", "folder"}) {
    EXPECT_EQ(error_of(files_.rename_new(at("new.tmp"), at(taken))), error_already_exists) << taken;
  }
  EXPECT_EQ(entry("new.tmp"), (Entry{"new", hidden_archive}));
  EXPECT_EQ(entry("taken.lnk"), (Entry{"taken", file_attribute_archive}));
  EXPECT_EQ(entry("hidden.lnk"), (Entry{"hidden", hidden_archive | file_attribute_system}));
  EXPECT_EQ(entry("readonly.lnk"), (Entry{"readonly", readonly_archive}));
  EXPECT_EQ(sorted_listing(dir_), before);
  EXPECT_EQ(error_of(files_.rename_new(at("missing.tmp"), at("x.lnk"))), error_file_not_found);
  EXPECT_EQ(error_of(files_.rename_new(at("new.tmp"), at("none\\x.lnk"))), error_path_not_found);
}

// Replacing a file by rename (a journal's first save): a hidden one gives way and the
// result carries the source's attributes; a read-only one refuses and both stay.
TEST_F(FileSystemContract, RenameReplaceOntoHiddenAndReadOnlyTargets) {
  struct Case {
    std::uint32_t source;
    std::uint32_t target;
    std::uint32_t error;
  };
  const std::uint32_t all_three = hidden_archive | file_attribute_system | file_attribute_readonly;
  for (const Case& c :
       {Case{file_attribute_archive, hidden_archive, 0},
        Case{file_attribute_archive, hidden_archive | file_attribute_system, 0},
        Case{readonly_archive, hidden_archive, 0}, Case{hidden_archive, file_attribute_archive, 0},
        Case{file_attribute_archive, readonly_archive, error_access_denied},
        Case{hidden_archive, all_three, error_access_denied}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.source << " onto " << c.target);
    make_file("source.tmp", "new", c.source);
    make_file("target.lnk", "old", c.target);
    const std::uint32_t error = error_of(files_.rename_replace(at("source.tmp"), at("target.lnk")));
    if (c.error == 0 || !read_only_binds_renames()) {
      EXPECT_EQ(error, 0u);
      EXPECT_EQ(files_.read_file(at("target.lnk")).value_or(""), "new");
      EXPECT_EQ(files_.get_attributes(at("target.lnk")).value_or(0), c.source);
      EXPECT_FALSE(path_exists(files_, at("source.tmp")));
    } else {
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(files_.read_file(at("target.lnk")).value_or(""), "old");
      EXPECT_EQ(files_.get_attributes(at("target.lnk")).value_or(0), c.target);
      EXPECT_EQ(files_.read_file(at("source.tmp")).value_or(""), "new");
      ASSERT_TRUE(files_.set_attributes(at("source.tmp"), file_attribute_archive));
      ASSERT_TRUE(files_.delete_file(at("source.tmp")));
    }
    ASSERT_TRUE(files_.set_attributes(at("target.lnk"), file_attribute_archive));
    ASSERT_TRUE(files_.delete_file(at("target.lnk")));
  }
}

// A read-only file cannot be opened to flush it; the program clears the bit for the
// flush and writes the word it read back, which must leave the attributes as they were.
TEST_F(FileSystemContract, FlushOfAReadOnlyFileWithTheBitClearedForIt) {
  for (const std::uint32_t word :
       {readonly_archive, file_attribute_readonly, readonly_archive | file_attribute_hidden,
        readonly_archive | file_attribute_hidden | file_attribute_system}) {
    SCOPED_TRACE(word);
    make_file("shortcut.lnk", "bytes", word);
    const std::uint32_t before = files_.get_attributes(at("shortcut.lnk")).value_or(0);
    ASSERT_EQ(before, file_word_as_read(word));
    if (read_only_binds_writes()) {
      EXPECT_EQ(error_of(files_.flush_file(at("shortcut.lnk"))), error_access_denied);
    }
    const std::uint32_t cleared = before & ~file_attribute_readonly;
    ASSERT_TRUE(files_.set_attributes(at("shortcut.lnk"), cleared));
    EXPECT_EQ(files_.get_attributes(at("shortcut.lnk")).value_or(0), file_word_as_read(cleared));
    EXPECT_TRUE(files_.flush_file(at("shortcut.lnk")));
    // Flushing writes nothing, so it does not mark the file for archiving.
    EXPECT_EQ(files_.get_attributes(at("shortcut.lnk")).value_or(0), file_word_as_read(cleared));
    ASSERT_TRUE(files_.set_attributes(at("shortcut.lnk"), before));
    EXPECT_EQ(files_.get_attributes(at("shortcut.lnk")).value_or(0), before);
    EXPECT_EQ(files_.read_file(at("shortcut.lnk")).value_or(""), "bytes");
    ASSERT_TRUE(files_.set_attributes(at("shortcut.lnk"), file_attribute_archive));
    ASSERT_TRUE(files_.delete_file(at("shortcut.lnk")));
  }
}

// A stray huge file on the desktop costs nothing: it is refused before it is read.
TEST_F(FileSystemContract, ReadRefusesAFileLargerThanTheReadLimit) {
  if (!platform_->make_large_file(at("huge.bin"), max_read_bytes + 1)) {
    GTEST_SKIP() << "this platform cannot make a large file cheaply";
  }
  EXPECT_EQ(error_of(files_.read_file(at("huge.bin"))), error_file_too_large);
  EXPECT_EQ(files_.metadata(at("huge.bin")).value_or(FileMetadata{}).size, max_read_bytes + 1);
  ASSERT_TRUE(platform_->make_large_file(at("limit.bin"), max_read_bytes));
  const auto whole = files_.read_file(at("limit.bin"));
  ASSERT_TRUE(whole) << whole.error().code;
  EXPECT_EQ(whole->size(), max_read_bytes);
}

// Indexers, scanners and sync clients open a fresh file for a moment: a call that meets
// such a lock waits it out, for about two seconds at most, and only then gives the
// sharing violation. A permission is no lock and fails at once.
TEST_F(FileSystemContract, ABriefLockIsWaitedOutAndALongOneFailsTheCallAlone) {
  using std::chrono::milliseconds;
  struct Case {
    const char* name;
    std::function<std::uint32_t(const std::string&)> call;
  };
  const Case cases[] = {
      {"write in place",
       [&](const std::string& p) { return error_of(files_.write_in_place(p, "old", "new")); }},
      {"set attributes",
       [&](const std::string& p) { return error_of(files_.set_attributes(p, hidden_archive)); }},
      {"delete", [&](const std::string& p) { return error_of(files_.delete_file(p)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = at(std::string(c.name) + ".lnk");
    make_file(std::string(c.name) + ".lnk", "old");
    platform_->hold_open(path, milliseconds(300));
    EXPECT_EQ(c.call(path), 0u);
  }
  make_file("long.lnk", "old");
  platform_->hold_open(at("long.lnk"), milliseconds(4000));
  EXPECT_EQ(error_of(files_.write_in_place(at("long.lnk"), "old", "new")), error_sharing_violation);
  make_file("readonly.lnk", "keep", readonly_archive);
  EXPECT_EQ(error_of(files_.delete_file(at("readonly.lnk"))), error_access_denied);
}

TEST_F(FileSystemContract, DeleteRemovesPlainAndHiddenFilesOnly) {
  make_file("plain.lnk", "");
  make_file("hidden.lnk", "", hidden_archive | file_attribute_system);
  make_file("readonly.lnk", "", readonly_archive);
  ASSERT_TRUE(files_.create_directories(at("folder")));
  EXPECT_TRUE(files_.delete_file(at("PLAIN.lnk")));
  EXPECT_TRUE(files_.delete_file(at("hidden.lnk")));

  struct Case {
    const char* name;
    std::uint32_t code;
  };
  for (const Case& c :
       {Case{"plain.lnk", error_file_not_found}, Case{"none\\x.lnk", error_path_not_found},
        Case{"readonly.lnk", error_access_denied}, Case{"folder", error_access_denied}}) {
    EXPECT_EQ(error_of(files_.delete_file(at(c.name))), c.code) << c.name;
  }
  EXPECT_EQ(sorted_listing(dir_), (std::vector<std::string>{"folder", "readonly.lnk"}));
}

TEST_F(FileSystemContract, CreateDirectoriesMakesEveryMissingParent) {
  ASSERT_TRUE(files_.create_directories(at("MossglowHome\\originals\\deep")));
  EXPECT_TRUE(
      files_.metadata(at("mossglowhome\\originals\\deep")).value_or(FileMetadata{}).is_directory());
  EXPECT_EQ(sorted_listing(dir_), std::vector<std::string>{"MossglowHome"});
  // Again, and for a folder that exists already: nothing to do.
  EXPECT_TRUE(files_.create_directories(at("MossglowHome\\originals\\deep")));
  EXPECT_TRUE(files_.create_directories(at("MossglowHome")));
  EXPECT_TRUE(files_.create_directories(dir_));

  make_file("file", "content");
  EXPECT_EQ(error_of(files_.create_directories(at("file"))), error_already_exists);
  EXPECT_EQ(error_of(files_.create_directories(at("file\\below"))), error_already_exists);
  EXPECT_EQ(files_.read_file(at("file")).value_or(""), "content");
}

TEST_F(FileSystemContract, PathsWithANulAreRefused) {
  make_file("a.lnk", "keep");
  const std::string with_nul = at("a.lnk") + std::string(1, '\0') + ".txt";
  EXPECT_FALSE(files_.write_file(with_nul, "x", false));
  EXPECT_FALSE(files_.delete_file(with_nul));
  EXPECT_FALSE(files_.metadata(with_nul));
  EXPECT_EQ(files_.read_file(at("a.lnk")).value_or(""), "keep");
}

}  // namespace
}  // namespace mossglow::contract
