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
  Record record{on_user("Game.url"), original_copy("0.url"), *sha256_hex(url),
                std::nullopt,        on_user("Game.lnk"),    *sha256_hex(generated)};

  Converted() {
    w.files.add_file(record.backup, url);
    w.files.add_file(original_copy("0.skin.lnk"), generated);
    w.files.add_file(*record.replacement_path, generated);
  }
  Status restore() {
    const auto listing = DesktopListing::read(w.system(), both_desktops());
    return restore_steam_shortcut(w.system(), *listing, record);
  }
};

// What an apply or a restore stopped half-way leaves (the .url and the link both there,
// or the .url back and no link) is the recovery sweep's; these are the user's doings
// and the failures that must show.
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
      {"copy back fails",
       [](Converted& c) { c.w.faults.fail_nth(Op::rename_new, 1, 112); },
       "There is not enough space on the disk. (os error 112)",
       {},
       generated},
      // A link that cannot be looked at is not a link that is gone: it stays journalled.
      {"link's metadata unreadable",
       [](Converted& c) {
         c.w.faults.fail_on_path(Op::get_attributes, *c.record.replacement_path, 5);
       },
       "Access is denied. (os error 5)",
       {},
       generated},
      {"copy back lands different bytes",
       [](Converted& c) { c.w.files.add_file(c.record.backup, "damaged copy"); },
       "还原后的快捷方式校验失败，已保留Brambun快捷方式", "damaged copy", generated},
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

// The .url comes back with the attributes it had (its copy carries them); the copy
// and the staging link stay.
TEST(SteamRestore, PutsTheUrlBackAsItWasAndRemovesTheGeneratedLink) {
  for (const std::uint32_t attributes :
       {file_attribute_archive, file_attribute_archive | file_attribute_hidden,
        file_attribute_archive | file_attribute_readonly | file_attribute_system}) {
    Converted c;
    c.w.files.add_file(c.record.backup, url, attributes);
    ASSERT_TRUE(c.restore());
    EXPECT_EQ(c.w.files.content(c.record.path), url);
    EXPECT_EQ(c.w.files.attributes(c.record.path), attributes);
    EXPECT_FALSE(c.w.files.exists(*c.record.replacement_path));
    EXPECT_FALSE(c.w.files.exists(c.record.path + ".mossglow-tmp"));
    EXPECT_EQ(c.w.files.content(c.record.backup), url);
    EXPECT_EQ(c.w.files.content(original_copy("0.skin.lnk")), generated);
  }
}

}  // namespace
}  // namespace mossglow
