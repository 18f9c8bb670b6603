#include "real_desktop_win32.hpp"

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "checks.hpp"
#include "desktop_win32.hpp"
#include "platform/error_text.hpp"
#include "platform/messages_win32.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "window_probe_win32.hpp"

namespace mossglow::e2e {
namespace {

constexpr std::string_view saved_view = "C:\\mossglow-e2e-real.txt";
constexpr std::string_view pending_backup = "已有待还原的备份，请先还原。";

std::string at(std::string_view folder, std::string_view name) { return join_path(folder, name); }

// The public desktop's items, which the program may read and not write.
struct PublicItems {
  std::string link, web, plain;
};
PublicItems public_items(const Locations& where) {
  return {at(where.public_desktop, "Pub.lnk"), at(where.public_desktop, "PubWeb.url"),
          at(where.public_desktop, "Readme.txt")};
}

std::string all_journals(Desktop& desktop) {
  std::string text;
  for (const std::string_view name : {"backup.json", "overlay.json", "recycle.json"}) {
    if (desktop.exists(desktop.where().journal(name))) {
      text += desktop.read(desktop.where().journal(name));
    }
  }
  return text;
}

bool no_journal_left(Desktop& desktop) {
  for (const std::string_view name : {"backup.json", "overlay.json", "recycle.json"}) {
    if (desktop.exists(desktop.where().journal(name))) return false;
  }
  return true;
}

// Shortcuts, a plain file and a folder on the user's desktop, several named as a camera
// or an installer names files (a tilde and digits, like a short alias), and a shortcut,
// a web shortcut and a plain file on the public desktop.
int seed_real() {
  Desktop desktop;
  const Locations& where = desktop.where();
  desktop.reset();
  desktop.make_link(at(where.user_desktop, "记事本.lnk"), "C:\\windows\\notepad.exe", "");
  desktop.make_link(at(where.user_desktop, "Setup~1.lnk"), "C:\\windows\\regedit.exe", "");
  desktop.make_url(at(where.user_desktop, "Web~1.url"), "https://www.winehq.org/");
  desktop.make_file(at(where.user_desktop, "draft~2.txt"), "a draft\r\n");
  desktop.make_file(at(where.user_desktop, "PHOTO~1.JPG"), "\xFF\xD8\xFF\xE0 not quite a photo");
  desktop.make_folder(at(where.user_desktop, "Fotos~3"));
  const PublicItems pub = public_items(where);
  desktop.make_link(pub.link, "C:\\windows\\hh.exe", "");
  desktop.make_url(pub.web, "https://example.com/");
  desktop.make_file(pub.plain, "everyone reads this\r\n");
  if (!save_view(desktop.view(), saved_view)) setup_failed("cannot save the view");
  return 0;
}

int read_only_public(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  const UserView before = load_view(saved_view);
  const PublicItems pub = public_items(where);
  const Win32Messages messages;
  const std::string denied = os_error_text(messages, Win32Error{error_access_denied});

  scenario("apply with a public desktop the program may read and not write");
  window.press(apply_id);
  const std::string report = window.control_text(details_box_id);
  std::printf("%s\n", report.c_str());
  checks.expect(report.find("已更新快捷方式 3 个，失败 2 个。") != std::string::npos,
                "three shortcuts of the user's dressed, two public ones failed");
  checks.expect(report.find("普通文件和文件夹：3 个，跳过或失败 1 个。") != std::string::npos,
                "three items of the user's covered, the public one failed");
  for (const std::string& item : {pub.link, pub.web, pub.plain}) {
    checks.expect(report.find(item + "：" + denied) != std::string::npos,
                  "fails alone with the system's text: " + item);
    checks.expect(desktop.snapshot().at(item) == before.desktop.at(item), "untouched: " + item);
  }
  for (const std::string_view name : {"记事本.lnk", "Setup~1.lnk"}) {
    const auto link = desktop.read_link(at(where.user_desktop, name));
    checks.expect(link && equals_ignoring_ascii_case(link->icon_path, where.icon_path),
                  "dressed: " + std::string(name));
  }
  for (const std::string_view name : {"draft~2.txt", "PHOTO~1.JPG", "Fotos~3"}) {
    const std::string item = at(where.user_desktop, name);
    checks.expect((desktop.snapshot().at(item).attributes & file_attribute_hidden) != 0 &&
                      desktop.exists(item + ".lnk"),
                  "covered: " + std::string(name));
  }
  checks.expect(all_journals(desktop).find("Public") == std::string::npos,
                "no journal names a public item");

  scenario("one restore gives everything back");
  window.press(restore_id);
  checks.expect_eq(differences(before, desktop.view()), std::string(),
                   "every entry and Recycle Bin value is back exactly");
  checks.expect(no_journal_left(desktop), "no journal is left");

  scenario("the next apply is not refused");
  window.press(apply_id);
  checks.expect(window.control_text(details_box_id) != pending_backup, "not refused");
  window.press(restore_id);
  checks.expect_eq(differences(before, desktop.view()), std::string(), "all back once more");
  checks.expect(no_journal_left(desktop), "no journal is left once more");
  return checks.failures();
}

// Truncates a file to `keep` bytes and clears the hidden bit of the item it covers.
void cut_short(Desktop& desktop, const std::string& item, std::size_t keep) {
  const std::string link = item + ".lnk";
  const std::string bytes = desktop.read(link);
  if (bytes.size() <= keep) setup_failed("the link is too short to cut: " + link);
  if (!desktop.files().write_file(link, bytes.substr(0, keep), /*flush=*/true)) {
    setup_failed("cannot cut short " + link);
  }
  const auto attributes = desktop.files().get_attributes(item);
  if (!attributes || !desktop.files().set_attributes(item, *attributes & ~file_attribute_hidden)) {
    setup_failed("cannot show " + item + " again");
  }
}

int cut_links(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  const UserView before = load_view(saved_view);

  scenario("covering links emptied or cut short, their items shown again");
  window.press(apply_id);
  checks.expect(window.control_text(details_box_id).empty(), "the apply had nothing to say");
  const std::string emptied = at(where.user_desktop, "draft~2.txt");
  const std::string halved = at(where.user_desktop, "Fotos~3");
  const std::string photo = at(where.user_desktop, "PHOTO~1.JPG");
  cut_short(desktop, emptied, 0);
  cut_short(desktop, halved, desktop.read(halved + ".lnk").size() / 2);
  cut_short(desktop, photo, 30);
  window.press(restore_id);
  const std::string report = window.control_text(details_box_id);
  if (!report.empty()) std::printf("%s\n", report.c_str());
  checks.expect(report.empty(), "one restore says nothing");
  checks.expect_eq(differences(before, desktop.view()), std::string(),
                   "the links are gone and every entry is back exactly");
  checks.expect(no_journal_left(desktop), "no journal is left");
  return checks.failures();
}

}  // namespace

int run_real_desktop_command(int argc, wchar_t** argv) {
  if (argc != 2) return -1;
  const std::wstring_view command = argv[1];
  if (command == L"seed-real") return seed_real();
  Checks checks;
  int failures = -1;
  if (command == L"read-only-public") failures = read_only_public(checks);
  if (command == L"cut-links") failures = cut_links(checks);
  if (failures < 0) return -1;
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}

}  // namespace mossglow::e2e
