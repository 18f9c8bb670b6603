// Drives the real mossglow.exe from another process, as a user would: presses its
// buttons through WM_COMMAND, reads what the window shows and checks the files in the
// prefix. Each command is one step of tests/e2e/run-e2e, which takes screenshots in
// between.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "checks.hpp"
#include "crash_win32.hpp"
#include "desktop_win32.hpp"
#include "embedded_icon.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "real_desktop_win32.hpp"
#include "recycle_icons_win32.hpp"
#include "showcase_win32.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "window_probe_win32.hpp"

namespace mossglow::e2e {
namespace {

constexpr std::string_view pending_backup = "已有待还原的备份，请先还原。";
constexpr std::string_view lock_busy = "另一次换肤或还原正在进行，请等待完成。";
// Kept between the "undone" and "refusals" commands.
constexpr std::string_view saved_snapshot = "C:\\mossglow-e2e-before.txt";
constexpr std::string_view saved_sample = "C:\\mossglow-e2e-sample.txt";

std::string at(std::string_view folder, std::string_view name) { return join_path(folder, name); }

// Every line break of a text for the edit control is CR LF.
bool only_crlf_breaks(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

void expect_size(Checks& checks, const MainWindow& window, long height, std::string_view what) {
  const SIZE size = window.outer_size();
  checks.expect_eq<long long>(size.cx, 480, std::string(what) + ": width 480");
  checks.expect_eq<long long>(size.cy, height,
                              std::string(what) + ": height " + std::to_string(height));
}

void expect_buttons_enabled(Checks& checks, const MainWindow& window) {
  checks.expect(window.control_enabled(apply_id) && window.control_enabled(restore_id) &&
                    window.control_enabled(details_button_id),
                "all three buttons are enabled again");
}

// Nothing to say: compact window, details hidden and empty.
void expect_collapsed(Checks& checks, const MainWindow& window, std::string_view what) {
  expect_size(checks, window, 164, what);
  checks.expect(!window.control_visible(details_button_id), "details button hidden");
  checks.expect(!window.control_visible(details_box_id), "details box hidden");
  checks.expect_eq(window.control_text(details_box_id), std::string(), "details box empty");
  expect_buttons_enabled(checks, window);
}

void expect_expanded(Checks& checks, const MainWindow& window, std::string_view what) {
  expect_size(checks, window, 434, what);
  checks.expect(window.control_visible(details_button_id), "details button shown");
  checks.expect(window.control_visible(details_box_id), "details box shown");
  checks.expect_eq(window.control_text(details_button_id), std::string("收起详情"),
                   "details button caption");
  expect_buttons_enabled(checks, window);
}

// Holds a file open with no sharing, as a program that has it in use would.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path) {
    const std::u16string name = to_utf16(path);
    handle_ = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ, 0, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) setup_failed("cannot hold open " + path);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  ~HeldOpen() { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

struct ExpectedControl {
  int id;
  std::string_view class_name;
  std::string_view text;
  LONG_PTR style;
  bool visible;
  RECT rect;  // left, top, right, bottom in client coordinates
};

int initial(Checks& checks) {
  scenario("initial window");
  const MainWindow window = MainWindow::find_or_fail();
  HWND main = window.handle();
  checks.expect_eq(window.class_name(main), std::string("MossglowWindow"), "window class");
  checks.expect_eq(window.text(main), std::string("mossglow"), "caption");
  // Windows adds WS_CLIPSIBLINGS to every top-level window.
  checks.expect_eq<long long>(window.style(main) & ~WS_CLIPSIBLINGS, 0x10CA0000,
                              "main window style");
  expect_size(checks, window, 164, "at start");
  // The icons cannot be read back from here: Wine answers WM_GETICON and GCLP_HICON from
  // another process with null. The window exists, so LoadIconW(1) succeeded (the
  // program ends at once when it fails), and run-e2e checks the icon resources.

  const ExpectedControl controls[] = {
      {title_id, "Static", "一键替换桌面图标为复古小Brambun", 0x50000000, true, {25, 20, 445, 48}},
      {apply_id, "Button", "一键换肤", 0x50000000, true, {25, 58, 215, 100}},
      {restore_id, "Button", "一键还原", 0x50000000, true, {240, 58, 430, 100}},
      {details_button_id, "Button", "查看详情", 0x40000000, false, {325, 116, 430, 146}},
      {details_box_id, "Edit", "", 0x40A10844, false, {25, 158, 430, 368}},
  };
  for (const ExpectedControl& expected : controls) {
    const std::string name = "control " + std::to_string(expected.id);
    HWND control = window.control(expected.id);
    if (!checks.expect(control != nullptr, name + " exists")) continue;
    checks.expect(equals_ignoring_ascii_case(window.class_name(control), expected.class_name),
                  name + " class " + std::string(expected.class_name));
    checks.expect_eq(window.text(control), std::string(expected.text), name + " text");
    // The edit control's border comes back as a client edge.
    const LONG_PTR mask = expected.id == details_box_id ? ~static_cast<LONG_PTR>(WS_BORDER) : -1;
    checks.expect_eq<long long>(window.style(control) & mask & 0xFFFFFFFF, expected.style & mask,
                                name + " style");
    checks.expect_eq(window.control_visible(expected.id), expected.visible, name + " visibility");
    const RECT r = window.control_rect(expected.id);
    checks.expect(r.left == expected.rect.left && r.top == expected.rect.top &&
                      r.right == expected.rect.right && r.bottom == expected.rect.bottom,
                  name + " geometry " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                      std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
  }
  expect_buttons_enabled(checks, window);
  return checks.failures();
}

// The sample desktop and a read-only link, seeded apart from the presses so that
// run-e2e can watch the desktop folders from the first press on.
int seed_shortcuts(Checks&) {
  Desktop desktop;
  const Locations& where = desktop.where();
  desktop.reset();
  seed_sample_desktop(desktop);
  const std::string read_only = at(where.user_desktop, "只读.lnk");
  desktop.make_link(read_only, "C:\\windows\\regedit.exe", "");
  desktop.add_attributes(read_only, file_attribute_readonly);
  if (!save_view(desktop.view(), saved_sample)) setup_failed("cannot save the sample's view");
  return 0;
}

// An apply on a desktop of working shortcuts (a read-only one among them), a plain file
// and a folder skins every shortcut in place, covers the plain items and says nothing;
// a restore then puts every file back byte for byte. Every shortcut stays the same file
// throughout: Explorer keeps its place on the grid.
int shortcuts(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  const std::string links[] = {
      at(where.user_desktop, "记事本.lnk"), at(where.user_desktop, "命令提示符.lnk"),
      at(where.public_desktop, "资源管理器.lnk"), at(where.user_desktop, "只读.lnk")};
  const std::string urls[] = {at(where.user_desktop, "Wine 主页.url"),
                              at(where.public_desktop, "示例网站.url")};
  constexpr int link_count = 4;
  LinkInfo before_links[link_count];
  for (int i = 0; i < link_count; ++i) {
    auto info = desktop.read_link(links[i]);
    if (!info) setup_failed("cannot read back " + links[i]);
    before_links[i] = *info;
  }
  std::map<std::string, std::uint64_t> ids;
  for (const auto& shortcut : links) ids[shortcut] = desktop.file_id(shortcut);
  for (const auto& shortcut : urls) ids[shortcut] = desktop.file_id(shortcut);
  const auto expect_same_files = [&](std::string_view when) {
    for (const auto& [shortcut, id] : ids) {
      checks.expect(desktop.file_id(shortcut) == id,
                    "the same file " + std::string(when) + ": " + shortcut);
    }
  };
  const Snapshot before = load_view(saved_sample).desktop;
  checks.expect_eq(differences(before, desktop.snapshot()), std::string(),
                   "the desktop is as seeded");
  const RecycleIcons recycle_before = seed_recycle_icons();

  scenario("apply on a desktop of shortcuts");
  window.press(apply_id);
  expect_collapsed(checks, window, "after a successful apply");
  const Snapshot after = desktop.snapshot();
  expect_same_files("after the apply");
  checks.expect(after.at(links[3]).attributes == before.at(links[3]).attributes,
                "the read-only link is still read-only");
  for (int i = 0; i < link_count; ++i) {
    checks.expect(after.at(links[i]).bytes != before.at(links[i]).bytes,
                  "link rewritten: " + links[i]);
    auto info = desktop.read_link(links[i]);
    if (!checks.expect(info.has_value(), "link still loads: " + links[i])) continue;
    checks.expect(
        equals_ignoring_ascii_case(info->icon_path, where.icon_path) && info->icon_index == 0,
        "link icon is brambun.ico,0 (got " + info->icon_path + "," +
            std::to_string(info->icon_index) + ")");
    checks.expect(info->target == before_links[i].target &&
                      info->arguments == before_links[i].arguments &&
                      info->working_directory == before_links[i].working_directory,
                  "link target, arguments and folder kept: " + links[i]);
  }
  for (const std::string& url : urls) {
    const std::string& bytes = after.at(url).bytes;
    checks.expect(bytes.find("IconFile=" + where.icon_path) != std::string::npos &&
                      bytes.find("IconIndex=0") != std::string::npos,
                  "internet shortcut names the icon: " + url);
    checks.expect(bytes.find("URL=") != std::string::npos, "internet shortcut keeps its URL");
  }
  // Plain files and folders stay where they are, hidden, each covered by a link with
  // the mascot icon under the same display name.
  for (std::string_view plain : {"购物清单.txt", "照片"}) {
    const std::string path = at(where.user_desktop, plain);
    Entry expected = before.at(path);
    expected.attributes |= file_attribute_hidden;
    checks.expect(after.at(path) == expected, "plain item kept and hidden: " + path);
    const std::string cover = path + ".lnk";
    auto info = desktop.read_link(cover);
    if (!checks.expect(info.has_value(), "covering link exists: " + cover)) continue;
    checks.expect(equals_ignoring_ascii_case(info->target, path),
                  "covering link opens the item (got " + info->target + ")");
    checks.expect(
        equals_ignoring_ascii_case(info->icon_path, where.icon_path) && info->icon_index == 0,
        "covering link icon is brambun.ico,0");
  }
  checks.expect(desktop.exists(where.journal("overlay.json")), "overlay.json written");
  const RegistryValue mascot = string_value(where.icon_path + ",0");
  checks.expect(read_recycle_icons() == RecycleIcons{mascot, mascot, mascot},
                "the Recycle Bin's three icon values name brambun.ico,0");
  checks.expect(desktop.exists(where.journal("recycle.json")), "recycle.json written");
  checks.expect(desktop.exists(where.journal("backup.json")), "backup.json written");
  checks.expect(desktop.read(where.icon_path) == embedded_icon_bytes(),
                "brambun.ico holds the program's icon");
  checks.expect(desktop.exists(where.journal("last-operation.txt")), "last-operation.txt written");

  scenario("restore after a successful apply");
  window.press(restore_id);
  expect_collapsed(checks, window, "after a full restore");
  expect_same_files("after the restore");
  checks.expect_eq(differences(before, desktop.snapshot()), std::string(),
                   "every desktop file is back byte for byte");
  checks.expect(!desktop.exists(where.journal("backup.json")), "backup.json gone");
  checks.expect(!desktop.exists(where.journal("overlay.json")), "overlay.json gone");
  checks.expect(read_recycle_icons() == recycle_before,
                "the Recycle Bin's icon values are back, types and bytes, the absent one absent");
  checks.expect(!desktop.exists(where.journal("recycle.json")), "recycle.json gone");
  return checks.failures();
}

// An apply that leaves something undone shows its report; the details button folds
// and unfolds it without losing the text.
int undone(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  desktop.reset();
  seed_sample_desktop(desktop);
  // A read-only link is dressed like any other (the bit is cleared for the write and
  // given back); here it is only checked to come back intact after the restore.
  const std::string read_only = at(where.user_desktop, "只读.lnk");
  desktop.make_link(read_only, "C:\\windows\\regedit.exe", "");
  desktop.add_attributes(read_only, file_attribute_readonly);
  const std::string broken = at(where.public_desktop, "坏掉的.lnk");
  desktop.make_file(broken, "this is not a shell link\r\n");
  // A link another program holds open without sharing cannot be backed up.
  const std::string busy = at(where.user_desktop, "正在使用.lnk");
  desktop.make_link(busy, "C:\\windows\\hh.exe", "");
  const Snapshot before = desktop.snapshot();
  if (!save_view({before, read_recycle_icons()}, saved_snapshot)) {
    setup_failed("cannot save the snapshot");
  }

  scenario("apply that leaves shortcuts undone");
  {
    const HeldOpen held(busy);
    window.press(apply_id);
  }
  expect_expanded(checks, window, "after an apply with failures");
  const std::string report = window.control_text(details_box_id);
  std::printf("%s\n", report.c_str());
  checks.expect(!report.empty(), "the report is shown");
  checks.expect(report.find("\r\n") != std::string::npos && only_crlf_breaks(report),
                "the report's line breaks are CR LF");
  checks.expect(report.find("坏掉的.lnk") != std::string::npos, "the broken link is named");
  checks.expect(report.find("正在使用.lnk") != std::string::npos, "the link in use is named");
  const Snapshot after = desktop.snapshot();
  checks.expect(after.at(broken) == before.at(broken), "the broken link is untouched");
  checks.expect(after.at(busy) == before.at(busy), "the link in use is untouched");
  checks.expect(after.at(at(where.user_desktop, "记事本.lnk")).bytes !=
                    before.at(at(where.user_desktop, "记事本.lnk")).bytes,
                "the working links are still skinned");

  scenario("details button folds and unfolds the report");
  window.press(details_button_id);
  expect_size(checks, window, 204, "folded");
  checks.expect(!window.control_visible(details_box_id), "details box hidden");
  checks.expect(window.control_visible(details_button_id), "details button still shown");
  checks.expect_eq(window.control_text(details_button_id), std::string("查看详情"),
                   "caption when folded");
  checks.expect_eq(window.control_text(details_box_id), report, "text kept when folded");
  window.press(details_button_id);
  expect_expanded(checks, window, "unfolded");
  checks.expect_eq(window.control_text(details_box_id), report, "text kept when unfolded");
  return checks.failures();
}

// The copies in the originals folder outlive whatever the user does to the journals: an
// apply after the journals were deleted by hand, or after backup.json was emptied and a
// restore run, keeps every copy it finds byte for byte and takes other names for its own.
int copies(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  desktop.reset();
  seed_sample_desktop(desktop);
  const std::string originals = at(where.data_directory, "originals");
  const auto held = [&] {
    std::map<std::string, std::string> copies;
    if (auto entries = desktop.files().list_directory(originals)) {
      for (const DirectoryEntry& entry : *entries) {
        copies[entry.name] = desktop.read(at(originals, entry.name));
      }
    }
    return copies;
  };
  const auto expect_kept = [&](const std::map<std::string, std::string>& earlier,
                               std::string_view when) {
    const auto now = held();
    for (const auto& [name, bytes] : earlier) {
      const auto it = now.find(name);
      checks.expect(it != now.end() && it->second == bytes,
                    "copy kept byte for byte " + std::string(when) + ": " + name);
    }
    checks.expect(now.size() > earlier.size(),
                  "the new copies took other names " + std::string(when));
  };

  scenario("apply, the journals deleted by hand, apply again");
  window.press(apply_id);
  const auto first = held();
  const auto records = parse_backup_journal(desktop.read(where.journal("backup.json")));
  checks.expect(records && records->size() == 5, "the first apply journalled the 5 shortcuts");
  for (const Record& record : records.value_or(std::vector<Record>{})) {
    const auto copy = first.find(std::string(file_name(record.backup)));
    checks.expect(copy != first.end() && sha256_hex(copy->second) == record.original_hash,
                  "the first apply's copy is in the folder: " + record.backup);
  }
  for (const std::string_view name : {"backup.json", "overlay.json", "recycle.json"}) {
    checks.expect(desktop.files().delete_file(where.journal(name)).has_value(),
                  "deleted by hand: " + std::string(name));
  }
  window.press(apply_id);
  expect_kept(first, "after the second apply");

  scenario("backup.json emptied, a restore, then an apply");
  const auto second = held();
  desktop.make_file(where.journal("backup.json"), "[]");
  window.press(restore_id);
  window.press(apply_id);
  expect_kept(second, "after backup.json was emptied");
  window.press(restore_id);
  return checks.failures();
}

// Presses that must change nothing: an apply while a backup is pending, and any press
// while another process holds the operation lock. Then a restore puts back the desktop
// the "undone" step started from.
int refusals(Checks& checks) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  const Locations& where = desktop.where();
  const Snapshot original = load_view(saved_snapshot).desktop;
  const Snapshot pending = desktop.snapshot();

  scenario("apply while a backup is pending");
  checks.expect(desktop.exists(where.journal("backup.json")), "backup.json is pending");
  window.press(apply_id);
  expect_expanded(checks, window, "refused apply");
  checks.expect_eq(window.control_text(details_box_id), std::string(pending_backup),
                   "refusal text");
  checks.expect_eq(differences(pending, desktop.snapshot()), std::string(),
                   "nothing on the desktops changed");

  scenario("presses while another process holds the operation lock");
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\MossglowOperationMutex");
  if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    setup_failed("cannot take the operation lock first");
  }
  const std::string backup_before = desktop.read(where.journal("backup.json"));
  for (int id : {restore_id, apply_id}) {
    window.press(id);
    expect_expanded(checks, window, "while locked");
    checks.expect_eq(window.control_text(details_box_id), std::string(lock_busy),
                     "busy text after pressing " + std::to_string(id));
  }
  checks.expect_eq(differences(pending, desktop.snapshot()), std::string(),
                   "nothing on the desktops changed");
  checks.expect(desktop.read(where.journal("backup.json")) == backup_before,
                "backup.json unchanged");
  ReleaseMutex(mutex);
  CloseHandle(mutex);

  scenario("restore after an apply with failures");
  window.press(restore_id);
  const std::string report = window.control_text(details_box_id);
  if (!report.empty()) std::printf("%s\n", report.c_str());
  expect_collapsed(checks, window, "after the restore");
  checks.expect_eq(differences(original, desktop.snapshot()), std::string(),
                   "every desktop file is back byte for byte");
  checks.expect(!desktop.exists(where.journal("backup.json")), "backup.json gone");
  checks.expect(!desktop.exists(where.journal("overlay.json")), "overlay.json gone");
  return checks.failures();
}

int close(Checks& checks) {
  scenario("closing the window");
  const MainWindow window = MainWindow::find_or_fail();
  checks.expect(window.close(30000), "the window is gone");
  return checks.failures();
}

int wait_window(Checks&) {
  MainWindow::find_or_fail();
  return 0;
}

// Ad-hoc checks by hand: shows what the window shows now.
int show_text(Checks&) {
  const MainWindow window = MainWindow::find_or_fail();
  std::printf("height %ld, details button %s\n%s\n", window.outer_size().cy,
              window.control_visible(details_button_id) ? "shown" : "hidden",
              window.control_text(details_box_id).c_str());
  return 0;
}

int press_named(std::wstring_view name) {
  const std::pair<std::wstring_view, int> buttons[] = {
      {L"apply", apply_id}, {L"restore", restore_id}, {L"details", details_button_id}};
  for (const auto& [button, id] : buttons) {
    if (button == name) {
      MainWindow::find_or_fail().press(id);
      Checks checks;
      return show_text(checks);
    }
  }
  return 2;
}

int seed_demo(Checks&) {
  Desktop desktop;
  seed_sample_desktop(desktop);
  return 0;
}

}  // namespace
}  // namespace mossglow::e2e

int wmain(int argc, wchar_t** argv) {
  // UTF-8 out, no CR added: the log is read on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  using Command = int (*)(mossglow::e2e::Checks&);
  const std::pair<std::wstring_view, Command> commands[] = {
      {L"initial", mossglow::e2e::initial},     {L"seed-shortcuts", mossglow::e2e::seed_shortcuts},
      {L"shortcuts", mossglow::e2e::shortcuts}, {L"undone", mossglow::e2e::undone},
      {L"refusals", mossglow::e2e::refusals},   {L"copies", mossglow::e2e::copies},
      {L"close", mossglow::e2e::close},         {L"wait-window", mossglow::e2e::wait_window},
      {L"seed-demo", mossglow::e2e::seed_demo}, {L"text", mossglow::e2e::show_text},
  };
  for (auto* const steps : {mossglow::e2e::run_crash_command, mossglow::e2e::run_showcase_command,
                            mossglow::e2e::run_real_desktop_command}) {
    if (const int status = steps(argc, argv); status != -1) {
      std::fflush(stdout);
      return status;
    }
  }
  if (argc == 3 && std::wstring_view(argv[1]) == L"press") {
    const int status = mossglow::e2e::press_named(argv[2]);
    std::fflush(stdout);
    if (status != 2) return status;
  }
  if (argc == 2) {
    for (const auto& [name, command] : commands) {
      if (name == argv[1]) {
        mossglow::e2e::Checks checks;
        const int failures = command(checks);
        std::fflush(stdout);
        return failures == 0 ? 0 : 1;
      }
    }
  }
  std::fputs(
      "usage: e2e_driver initial|seed-shortcuts|shortcuts|undone|refusals|copies|close|"
      "wait-window|"
      "seed-demo|text\n"
      "       e2e_driver press apply|restore|details\n"
      "       e2e_driver seed-mixed|recover\n"
      "       e2e_driver seed-real|read-only-public|cut-links\n"
      "       e2e_driver timed apply|restore\n"
      "       e2e_driver post apply|restore [DELAY_MS]\n"
      "       e2e_driver seed-showcase\n"
      "       e2e_driver shell hold\n"
      "       e2e_driver listing\n"
      "       e2e_driver operate apply|restore\n",
      stderr);
  return 2;
}
