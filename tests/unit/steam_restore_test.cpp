#include <gtest/gtest.h>

#include <functional>

#include "shortcuts/restore.hpp"
#include "state/content_hash.hpp"
#include "steam/restore.hpp"
#include "steam_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;
using N = fake::FakeShell::Notification;

const std::string url = url_to("steam://rungameid/570");
const std::string generated = steam_link_bytes("steam://rungameid/570");

// A conversion as the apply leaves it: the .url gone, its copy and the generated link
// in place, the record complete.
struct Converted {
  fake::FakeWindows w;
  Record record{on_user("Game.url"), original_copy("0.url"), *sha256_hex(url), std::nullopt,
                on_user("Game.lnk"), *sha256_hex(generated), std::nullopt};

  Converted() {
    w.files.add_file(record.backup, url);
    w.files.add_file(original_copy("0.skin.lnk"), generated);
    w.files.add_file(*record.replacement_path, generated);
  }
  Status restore() {
    const DesktopPlaces places = places_of(w);
    const std::string originals = join_path(data_dir, "originals");
    const SteamRestore steam{record, record.path, *record.replacement_path, url, originals};
    auto plan = examine_steam_shortcut(w.system(), places, steam);
    if (!plan) return std::unexpected(plan.error());
    auto done = finish_steam_shortcut(w.system(), steam, *plan);
    if (!done) return std::unexpected(done.error().text);
    return {};
  }
};

// The user's doings, the failures that must show, and the files a stopped write leaves:
// a link or a .url created only in part is the program's own, proven against the bytes
// it was to hold (other states a stopped apply or restore leaves are the recovery
// sweep's).
TEST(SteamRestore, DecidesByWhatIsOnTheDesktop) {
  const std::string users_link = fake::FakeShell::link_bytes(
      LinkInfo{std::string(steam_exe), "-- \"steam://rungameid/570\"", "", "C:\\mine.ico", 0});
  struct Row {
    const char* name;
    std::function<void(Converted&)> arrange;
    std::optional<std::string> error;
    std::optional<std::string> url_after;   // nothing: absent
    std::optional<std::string> link_after;  // nothing: absent
  };
  const Row rows[] = {
      {"the user deleted the link",
       [](Converted& c) { (void)c.w.files.delete_file(*c.record.replacement_path); },
       {},
       url,
       {}},
      {"the user changed the link",
       [&](Converted& c) { c.w.files.add_file(*c.record.replacement_path, users_link); },
       "生成的 Steam 快捷方式已被修改，已保留现有文件和备份",
       {},
       users_link},
      {"a different .url in its place",
       [](Converted& c) { c.w.files.add_file(c.record.path, url_to("steam://rungameid/1")); },
       "原位置出现了不同的文件，已保留现有文件和备份", url_to("steam://rungameid/1"), generated},
      {"link hash never recorded, link present",
       [](Converted& c) { c.record.replacement_hash.reset(); },
       "生成的 Steam 快捷方式已被修改，已保留现有文件和备份",
       {},
       generated},
      {"link hash never recorded, no link",
       [](Converted& c) {
         c.record.replacement_hash.reset();
         (void)c.w.files.delete_file(*c.record.replacement_path);
       },
       {},
       url,
       {}},
      {"url unreadable",
       [](Converted& c) {
         c.w.files.add_file(c.record.path, url);
         c.w.faults.fail_on_path(Op::read_file, c.record.path, 32);
       },
       "The process cannot access the file because it is being used by another process. "
       "(os error 32)",
       url, generated},
      {"putting the .url back fails",
       [](Converted& c) { c.w.faults.fail_on_path(Op::create_new_file, c.record.path, 112); },
       "There is not enough space on the disk. (os error 112)",
       {},
       generated},
      // A link that cannot be looked at is not a link that is gone: it stays journalled.
      {"link unreadable",
       [](Converted& c) { c.w.faults.fail_on_path(Op::read_file, *c.record.replacement_path, 5); },
       "Access is denied. (os error 5)",
       {},
       generated},
      {"the .url changed right after it was put back",
       [](Converted& c) {
         c.w.faults.after(Op::create_new_file, c.record.path,
                          [&c] { c.w.files.add_file(c.record.path, "raced in"); });
       },
       "还原后的快捷方式校验失败，已保留Brambun快捷方式", "raced in", generated},
      {"the link left empty by a stopped apply",
       [](Converted& c) { c.w.files.add_file(*c.record.replacement_path, ""); },
       {},
       url,
       {}},
      {"the link cut short and its staging copy under another index",
       [](Converted& c) {
         c.w.files.add_file(*c.record.replacement_path, generated.substr(0, 30));
         (void)c.w.files.delete_file(original_copy("0.skin.lnk"));
         c.w.files.add_file(original_copy("12.skin.lnk"), generated);
       },
       {},
       url,
       {}},
      {"the .url cut short by a stopped restore",
       [](Converted& c) { c.w.files.add_file(c.record.path, url.substr(0, 9)); },
       {},
       url,
       {}},
      // A complete record's link was whole when the .url went: while the .url is gone,
      // nothing else is the program's; once it is back, only the link is left to undo.
      {"complete, the link cut short since",
       [](Converted& c) {
         c.record.complete = true;
         c.w.files.add_file(*c.record.replacement_path, generated.substr(0, 30));
       },
       "生成的 Steam 快捷方式已被修改，已保留现有文件和备份",
       {},
       generated.substr(0, 30)},
      {"complete, the .url back and the link cut short",
       [](Converted& c) {
         c.record.complete = true;
         c.w.files.add_file(c.record.path, url);
         c.w.files.add_file(*c.record.replacement_path, generated.substr(0, 30));
       },
       {},
       url,
       {}},
      {"complete, the .url cut short",
       [](Converted& c) {
         c.record.complete = true;
         c.w.files.add_file(c.record.path, url.substr(0, 9));
       },
       "原位置出现了不同的文件，已保留现有文件和备份", url.substr(0, 9), generated},
      {"link cannot be deleted",
       [](Converted& c) {
         c.w.faults.fail_on_path(Op::delete_file, *c.record.replacement_path, 5);
       },
       "Access is denied. (os error 5)", url, generated},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Converted c;
    row.arrange(c);
    const Status restored = c.restore();
    if (row.error) {
      ASSERT_FALSE(restored);
      EXPECT_EQ(restored.error(), *row.error);
    } else {
      EXPECT_TRUE(restored) << restored.error();
    }
    EXPECT_EQ(c.w.files.content(c.record.path), row.url_after);
    EXPECT_EQ(c.w.files.content(*c.record.replacement_path), row.link_after);
  }
}

// The .url comes back with the attributes the record holds (a journal of an earlier
// version holds none, and its copy carries them); the copy and the staging link stay.
TEST(SteamRestore, PutsTheUrlBackAsItWasAndRemovesTheGeneratedLink) {
  constexpr std::uint32_t hidden = file_attribute_archive | file_attribute_hidden;
  constexpr std::uint32_t guarded =
      file_attribute_archive | file_attribute_readonly | file_attribute_system;
  struct Row {
    std::optional<std::uint32_t> recorded;
    std::uint32_t on_copy;
    std::uint32_t expected;
  };
  for (const Row& row :
       {Row{std::nullopt, file_attribute_archive, file_attribute_archive},
        Row{hidden, file_attribute_archive, hidden}, Row{guarded, file_attribute_archive, guarded},
        Row{std::nullopt, guarded, guarded}}) {
    Converted c;
    c.record.attributes = row.recorded;
    c.w.files.add_file(c.record.backup, url, row.on_copy);
    ASSERT_TRUE(c.restore());
    EXPECT_EQ(c.w.files.content(c.record.path), url);
    EXPECT_EQ(c.w.files.attributes(c.record.path), row.expected);
    EXPECT_FALSE(c.w.files.exists(*c.record.replacement_path));
    EXPECT_EQ(c.w.files.tree(fake::user_desktop), std::vector<std::string>{c.record.path});
    EXPECT_EQ(c.w.files.content(c.record.backup), url);
    EXPECT_EQ(c.w.files.content(original_copy("0.skin.lnk")), generated);
  }
}

}  // namespace
}  // namespace mossglow
