#include <gtest/gtest.h>

#include "platform/path.hpp"
#include "shortcuts/scan.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using fake::public_desktop;
using fake::user_desktop;

class DesktopScan : public ::testing::Test {
 protected:
  fake::FakeWindows w;
  System sys = w.system();
  DesktopFolders desktops{std::string(user_desktop), std::string(public_desktop)};

  Result<std::vector<std::string>> scan() {
    auto listing = DesktopListing::read(sys, desktops);
    if (!listing) return std::unexpected(listing.error());
    return desktop_shortcuts(*listing);
  }

  std::string on_user(std::string_view name) { return join_path(user_desktop, name); }
};

// Files ending in .lnk or .url in any ASCII case, hidden and system ones included; no
// folder, nothing inside one, and no symbolic link, whatever it leads to.
TEST_F(DesktopScan, KeepsOnlyLnkAndUrlFilesAndNeverFollowsALink) {
  for (const char* name : {"A.lnk", "b.URL", "c.Lnk", "d.url2", "e.ln", ".lnk"}) {
    w.files.add_file(on_user(name), "x");
  }
  w.files.add_directory(on_user("F.lnk"));
  w.files.add_file(on_user("F.lnk\\inside.lnk"), "x");
  w.files.add_file(on_user("hidden.lnk"), "x", file_attribute_hidden);
  w.files.add_file(on_user("system.url"), "x", file_attribute_system | file_attribute_hidden);
  w.files.add_symlink(on_user("dangling.lnk"), "C:\\nowhere\\x.lnk", false);
  w.files.add_directory("C:\\elsewhere");
  w.files.add_symlink(on_user("folder-link.lnk"), "C:\\elsewhere", true);
  w.files.add_file("C:\\elsewhere\\real.lnk", "x");
  w.files.add_symlink(on_user("file-link.lnk"), "C:\\elsewhere\\real.lnk", false);

  const auto list = scan();
  ASSERT_TRUE(list) << list.error();
  EXPECT_EQ(*list, (std::vector<std::string>{on_user("A.lnk"), on_user("b.URL"), on_user("c.Lnk"),
                                             on_user("hidden.lnk"), on_user("system.url")}));
}

}  // namespace
}  // namespace mossglow
