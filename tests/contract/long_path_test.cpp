// Paths past MAX_PATH: a desktop entry's path can reach 260 characters, and every file
// call the program makes must work there; shell calls work there or fail cleanly.

#include <algorithm>
#include <string>
#include <vector>

#include "contract_fixture.hpp"
#include "platform/shell.hpp"
#include "support/link_files.hpp"

namespace mossglow::contract {
namespace {

constexpr std::uint32_t hidden_archive = file_attribute_hidden | file_attribute_archive;
constexpr std::uint32_t readonly_archive = file_attribute_readonly | file_attribute_archive;
constexpr std::size_t max_path = 260;

std::size_t utf16_length(std::string_view path) { return to_utf16(path).size(); }

class LongPathContract : public ContractTest {
 protected:
  Shell& shell_ = system_.shell;

  // A folder below the scratch folder whose path is `length` UTF-16 units long, made
  // with create_directories (which passes through CreateDirectoryW's limit on the way).
  std::string long_folder(std::size_t length) {
    std::string folder = dir_;
    for (char letter = 'a'; utf16_length(folder) + 1 < length; ++letter) {
      const std::size_t room = length - utf16_length(folder) - 1;
      // No component is left that would need to be empty.
      std::size_t units = std::min<std::size_t>(60, room);
      if (room - units == 1) --units;
      std::string part = units >= 3 ? "长路径" : "";
      part.append(units - utf16_length(part), letter);
      folder = join_path(folder, part);
    }
    EXPECT_EQ(utf16_length(folder), length) << folder;
    EXPECT_TRUE(files_.create_directories(folder)) << folder;
    return folder;
  }
};

TEST_F(LongPathContract, EveryFileCallWorksPastMaxPath) {
  const std::string folder = long_folder(300);
  const auto in = [&](std::string_view name) { return join_path(folder, name); };
  ASSERT_TRUE(files_.metadata(folder).value_or(FileMetadata{}).is_directory());

  ASSERT_TRUE(files_.write_file(in("Notes.txt.lnk"), "link bytes", true));
  EXPECT_EQ(files_.read_file(in("notes.TXT.lnk")).value_or(""), "link bytes");
  EXPECT_EQ(files_.metadata(in("Notes.txt.lnk")).value_or(FileMetadata{}).size, 10u);
  ASSERT_TRUE(files_.set_attributes(in("Notes.txt.lnk"), hidden_archive));
  EXPECT_EQ(files_.get_attributes(in("Notes.txt.lnk")).value_or(0), hidden_archive);
  ASSERT_TRUE(files_.write_in_place(in("Notes.txt.lnk"), "link bytes", "in place"));
  EXPECT_EQ(files_.read_file(in("Notes.txt.lnk")).value_or(""), "in place");
  EXPECT_EQ(files_.get_attributes(in("Notes.txt.lnk")).value_or(0), hidden_archive);
  ASSERT_TRUE(files_.create_new_file(in("Notes.txt.lnk.backup"), "link bytes", true));

  ASSERT_TRUE(files_.create_new_file(in("journal.tmp"), "new journal", true));
  EXPECT_EQ(error_of(files_.create_new_file(in("journal.tmp"), "x", false)), error_file_exists);
  ASSERT_TRUE(files_.rename_new(in("journal.tmp"), in("journal.json")));
  ASSERT_TRUE(files_.write_file(in("journal.tmp"), "newer journal", true));
  EXPECT_EQ(error_of(files_.rename_new(in("journal.tmp"), in("journal.json"))),
            error_already_exists);
  ASSERT_TRUE(files_.replace_file(in("journal.json"), in("journal.tmp")));
  EXPECT_EQ(files_.read_file(in("journal.json")).value_or(""), "newer journal");
  ASSERT_TRUE(files_.write_file(in("journal.tmp"), "newest journal", true));
  ASSERT_TRUE(files_.rename_replace(in("journal.tmp"), in("journal.json")));
  EXPECT_EQ(files_.read_file(in("journal.json")).value_or(""), "newest journal");

  const auto listed = files_.list_directory(folder);
  ASSERT_TRUE(listed);
  for (const auto& entry : *listed) EXPECT_FALSE(entry.is_link()) << entry.name;
  EXPECT_EQ(sorted_listing(folder),
            (std::vector<std::string>{"journal.json", "Notes.txt.lnk", "Notes.txt.lnk.backup"}));
  // The same folder spelled the way Windows would clean up itself.
  const std::string other_spelling = dir_ + "//" + folder.substr(dir_.size() + 1) + "\\.\\";
  EXPECT_EQ(sorted_listing(other_spelling).size(), 3u);
  EXPECT_EQ(files_.read_file(join_path(other_spelling, "journal.json")).value_or(""),
            "newest journal");

  for (const char* name : {"Notes.txt.lnk", "Notes.txt.lnk.backup", "journal.json"}) {
    EXPECT_TRUE(files_.delete_file(in(name))) << name;
  }
  EXPECT_EQ(sorted_listing(folder), std::vector<std::string>{});
  EXPECT_EQ(error_of(files_.read_file(in("journal.json"))), error_file_not_found);
}

// Every name is given to Windows exactly: one ending in a dot or a space is its own
// entry, never the one Windows' plain form would trim it to, at any length.
TEST_F(LongPathContract, NamesEndingInADotOrASpaceAreTheirOwnEntries) {
  for (const std::size_t length : {std::size_t{60}, std::size_t{300}}) {
    SCOPED_TRACE(length);
    const std::string folder = long_folder(length);
    const auto in = [&](std::string_view name) { return join_path(folder, name); };
    ASSERT_TRUE(files_.write_file(in("notes"), "plain", false));
    ASSERT_TRUE(files_.set_attributes(in("notes"), hidden_archive));
    ASSERT_TRUE(files_.create_new_file(in("notes "), "space", false));
    ASSERT_TRUE(files_.create_new_file(in("notes."), "dot", false));
    EXPECT_EQ(sorted_listing(folder), (std::vector<std::string>{"notes", "notes ", "notes."}));
    ASSERT_TRUE(files_.write_in_place(in("notes "), "space", "SPACE"));
    ASSERT_TRUE(files_.set_attributes(in("notes."), hidden_archive));
    EXPECT_EQ(files_.read_file(in("notes")).value_or(""), "plain");
    EXPECT_EQ(files_.read_file(in("notes ")).value_or(""), "SPACE");
    EXPECT_EQ(files_.get_attributes(in("notes ")).value_or(0), file_attribute_archive);
    EXPECT_EQ(files_.get_attributes(in("notes.")).value_or(0), hidden_archive);
    ASSERT_TRUE(files_.delete_file(in("notes.")));
    EXPECT_EQ(sorted_listing(folder), (std::vector<std::string>{"notes", "notes "}));
  }
}

// The profile writer and the icon read-back work in MAX_PATH buffers; past them the
// call fails and touches nothing (Wine's profile writer would otherwise write to a
// file of a garbage name in the current folder).
TEST_F(LongPathContract, UrlIconsAndIconReadBackFailCleanlyPastMaxPath) {
  const std::string url_before = "[InternetShortcut]\r\nURL=https://example.com/\r\n";
  const std::string url_after =
      url_before + "IconFile=C:\\i.ico\r\nIconIndex=0\r\n";  // as the writer leaves it
  constexpr HResult too_long = hresult_from_win32(206);
  for (const std::size_t length : {max_path - 1, max_path, std::size_t{300}}) {
    SCOPED_TRACE(length);
    const std::string folder = long_folder(length - 6);
    const std::string url = join_path(folder, "N.url");
    const std::string link = join_path(folder, "N.lnk");
    ASSERT_EQ(utf16_length(url), length);
    ASSERT_TRUE(files_.write_file(url, url_before, false));
    ASSERT_TRUE(
        testing_support::write_link(files_, shell_, link, {"C:\\windows", {}, {}, "C:\\o.ico", 2}));

    const auto written = shell_.set_url_icon(url, "C:\\i.ico");
    const auto location = shell_.icon_location(link);
    if (length < max_path) {
      EXPECT_TRUE(written) << std::hex << written.error().value;
      EXPECT_EQ(files_.read_file(url).value_or(""), url_after);
      ASSERT_TRUE(location);
      EXPECT_EQ(location->path, "C:\\o.ico");
      EXPECT_EQ(location->index, 2);
    } else {
      EXPECT_EQ(written ? 0u : written.error().value, too_long.value);
      EXPECT_EQ(files_.read_file(url).value_or(""), url_before);
      EXPECT_FALSE(location) << location->path;
    }
  }
}

}  // namespace
}  // namespace mossglow::contract
