// Overlay apply and restore against real Win32 under Wine. Two scratch folders stand
// in for the desktops and a third for the data directory, so that the prefix's own
// desktops (which other tests use) are never touched. Runs only in a disposable prefix.
#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "embedded_icon.hpp"
#include "overlay/apply.hpp"
#include "overlay/journal.hpp"
#include "overlay/restore.hpp"
#include "platform/path.hpp"
#include "platform/system_win32.hpp"
#include "platform/text.hpp"
#include "state/content_hash.hpp"
#include "support/scratch_win32.hpp"

namespace mossglow {
namespace {

using testing_support::remove_tree;
using testing_support::wide;

class OverlayUnderWine : public ::testing::Test, protected Win32System {
 protected:
  std::string root;
  DesktopFolders desktops;
  std::string data_dir;

  void SetUp() override {
    if (std::getenv("MOSSGLOW_DISPOSABLE_PREFIX") == nullptr) {
      GTEST_SKIP() << "runs only in a disposable Wine prefix";
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root = join_path(to_wtf8(std::u16string_view(reinterpret_cast<const char16_t*>(temp))),
                     "mossglow-overlay-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(GetTickCount64()));
    desktops = {join_path(root, "用户桌面"), join_path(root, "Public Desktop")};
    data_dir = join_path(root, "MossglowHome");
    for (const auto& desktop : desktops) ASSERT_TRUE(files.create_directories(desktop));
  }

  void TearDown() override {
    if (!root.empty()) remove_tree(wide(root));
  }

  std::string make_file(const std::string& path, std::uint32_t extra_attributes = 0) {
    EXPECT_TRUE(files.write_file(path, "content of " + path, false)) << path;
    if (extra_attributes != 0) {
      EXPECT_TRUE(files.set_attributes(path, file_attribute_archive | extra_attributes)) << path;
    }
    return path;
  }

  std::uint32_t attributes(const std::string& path) {
    return files.get_attributes(path).value_or(0);
  }
};

TEST_F(OverlayUnderWine, ApplyCoversAndHidesRestoreShowsAndRemovesTheLinks) {
  const std::vector<std::string> items{
      make_file(join_path(desktops[0], "笔记 2024.txt")),
      make_file(join_path(desktops[0], "只读.doc"), file_attribute_readonly),
      make_file(join_path(desktops[1], "README")),
      [&] {
        const std::string folder = join_path(desktops[1], "资料");
        EXPECT_TRUE(files.create_directories(folder));
        make_file(join_path(folder, "inside.txt"));
        return folder;
      }(),
  };
  // Left alone: shortcuts, and hidden items.
  const std::string own_link = make_file(join_path(desktops[0], "Own.lnk"));
  const std::string secret = make_file(join_path(desktops[1], "secret.txt"), file_attribute_hidden);
  std::map<std::string, std::uint32_t> before;
  for (const auto& item : items) before[item] = attributes(item);
  ASSERT_EQ(before[items[1]], file_attribute_archive | file_attribute_readonly);
  ASSERT_EQ(before[items[3]], file_attribute_directory);

  ASSERT_EQ(apply_overlay(sys, desktops, data_dir)->text,
            "普通文件和文件夹：4 个，跳过或失败 0 个。");

  const std::string icon = join_path(data_dir, "brambun.ico");
  EXPECT_EQ(files.read_file(icon).value_or(""), std::string(embedded_icon_bytes()));
  const auto journal =
      parse_overlay_journal(files.read_file(join_path(data_dir, "overlay.json")).value_or(""));
  ASSERT_TRUE(journal) << journal.error();
  ASSERT_EQ(journal->size(), items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i]);
    const std::string shortcut = items[i] + ".lnk";
    const Overlay& record = (*journal)[i];
    // The desktops are listed one after the other; within one, in listing order.
    EXPECT_TRUE(record.original.starts_with(desktops[i < 2 ? 0 : 1]));
    const auto at = std::ranges::find(*journal, items[i], &Overlay::original);
    ASSERT_NE(at, journal->end());
    EXPECT_EQ(at->shortcut, shortcut);
    EXPECT_EQ(at->shortcut_hash, content_hash(sys, shortcut).value_or("unreadable"));

    const auto link = shell.read_link(shortcut);
    ASSERT_TRUE(link) << windows_error_text(messages, link.error());
    EXPECT_TRUE(equals_ignoring_ascii_case(link->target, items[i])) << link->target;
    EXPECT_EQ(link->arguments, "");
    EXPECT_EQ(link->working_directory, "");
    EXPECT_TRUE(equals_ignoring_ascii_case(link->icon_path, icon)) << link->icon_path;
    EXPECT_EQ(link->icon_index, 0);
    EXPECT_EQ(attributes(items[i]), before[items[i]] | file_attribute_hidden);
  }
  EXPECT_FALSE(files.metadata(own_link + ".lnk").has_value());
  EXPECT_FALSE(files.metadata(secret + ".lnk").has_value());

  ASSERT_EQ(restore_overlay(sys, desktops, data_dir)->text, "文件和文件夹已还原 4 个，跳过 0 个。");
  for (const auto& item : items) {
    EXPECT_EQ(attributes(item), before[item]) << item;
    EXPECT_FALSE(files.metadata(item + ".lnk").has_value()) << item;
  }
  EXPECT_EQ(files.read_file(items[0]).value_or(""), "content of " + items[0]);
  EXPECT_FALSE(files.metadata(join_path(data_dir, "overlay.json")).has_value());
  EXPECT_FALSE(files.metadata(join_path(data_dir, "overlay.tmp")).has_value());
  EXPECT_EQ(attributes(secret), file_attribute_archive | file_attribute_hidden);
}

TEST_F(OverlayUnderWine, ALinkTheUserChangedIsKeptWithItsHiddenItem) {
  const std::string item = make_file(join_path(desktops[0], "Notes.txt"));
  const std::string taken = make_file(join_path(desktops[1], "Taken.txt"));
  const std::string users_own = make_file(taken + ".lnk");
  ASSERT_EQ(apply_overlay(sys, desktops, data_dir)->text,
            "普通文件和文件夹：1 个，跳过或失败 1 个。\n" + taken + "：同名快捷方式已存在");
  EXPECT_EQ(files.read_file(users_own).value_or(""), "content of " + users_own);
  EXPECT_EQ(attributes(taken), file_attribute_archive);

  const NewLink users_version{"C:\\windows\\notepad.exe", std::nullopt, std::nullopt,
                              "C:\\windows\\system32\\shell32.dll", 3};
  ASSERT_TRUE(shell.create_link(item + ".lnk", users_version));
  const std::string journal = files.read_file(join_path(data_dir, "overlay.json")).value_or("");

  ASSERT_EQ(restore_overlay(sys, desktops, data_dir)->text,
            "文件和文件夹已还原 0 个，跳过 1 个。\n" + item + "：快捷方式已改变或创建中断");
  EXPECT_EQ(attributes(item), file_attribute_archive | file_attribute_hidden);
  EXPECT_TRUE(equals_ignoring_ascii_case(shell.read_link(item + ".lnk")->target,
                                         "C:\\windows\\notepad.exe"));
  EXPECT_EQ(files.read_file(join_path(data_dir, "overlay.json")).value_or(""), journal);
}

}  // namespace
}  // namespace mossglow
