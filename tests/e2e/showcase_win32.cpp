#include "showcase_win32.hpp"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "desktop_win32.hpp"
#include "overlay/journal.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "recycle/journal.hpp"
#include "recycle_icons_win32.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "window_probe_win32.hpp"

namespace mossglow::e2e {
namespace {

// What the user had before the apply, kept across the runs of the driver.
constexpr std::string_view saved_view = "C:\\mossglow-showcase-before.txt";
constexpr DWORD start_timeout_ms = 60000;
constexpr DWORD shell_timeout_ms = 30000;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::wstring wide(std::string_view text) {
  const std::u16string utf16 = to_utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// The sample desktop of tests/e2e/showcase: the demo desktop (links, web shortcuts, a
// plain file and a folder), links to Wine's programs that carry icons of their own (so
// that the shell draws something of each before the apply), a read-only file and a
// Steam game with its stand-in launcher.
void seed_showcase_desktop(Desktop& desktop) {
  seed_sample_desktop(desktop);
  const Locations& at = desktop.where();
  desktop.make_link(join_path(at.user_desktop, "注册表编辑器.lnk"), "C:\\windows\\regedit.exe", "");
  desktop.make_link(join_path(at.user_desktop, "任务管理器.lnk"),
                    "C:\\windows\\system32\\taskmgr.exe", "");
  desktop.make_link(join_path(at.public_desktop, "Wine 设置.lnk"),
                    "C:\\windows\\system32\\winecfg.exe", "");
  desktop.make_link(join_path(at.public_desktop, "写字板.lnk"),
                    "C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", "");
  desktop.make_link(join_path(at.public_desktop, "Internet Explorer.lnk"),
                    "C:\\Program Files\\Internet Explorer\\iexplore.exe", "");
  const std::string read_only = join_path(at.public_desktop, "只读说明.txt");
  desktop.make_file(read_only, "请勿修改\r\n");
  desktop.add_attributes(read_only, file_attribute_readonly);
  seed_steam_game(desktop);
}

int seed_showcase() {
  Desktop desktop;
  desktop.reset();
  seed_showcase_desktop(desktop);
  seed_recycle_icons();
  const UserView view = desktop.view();
  if (!save_view(view, saved_view)) setup_failed("cannot save the view");
  say("sample desktop: " + plural(view.desktop.size(), "entry", "entries") + " on both desktops");
  return 0;
}

// Whether the shell draws the link: it does when an icon comes out of the link's icon
// location or, failing that, out of its target (as Wine's explorer asks).
bool shell_draws(Desktop& desktop, const std::string& path) {
  auto link = desktop.read_link(path);
  if (!link) return false;
  for (const std::string& source : {link->icon_path, link->target}) {
    wchar_t expanded[MAX_PATH] = {};
    if (source.empty() ||
        ExpandEnvironmentStringsW(wide(source).c_str(), expanded, MAX_PATH) == 0) {
      continue;
    }
    HICON icon = nullptr;
    if (ExtractIconExW(expanded, link->icon_index, &icon, nullptr, 1) > 0 && icon != nullptr) {
      DestroyIcon(icon);
      return true;
    }
  }
  return false;
}

// The shell lays its icons out in rows of square cells across the desktop window, one
// per link, sized from the icon-title font and the icon metrics as Wine's explorer
// sizes them.
std::string grid_line(Desktop& desktop, HWND shell) {
  LOGFONTW font{};
  SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0);
  HDC dc = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, CreateFontIndirectW(&font));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  DeleteObject(SelectObject(dc, previous));
  ReleaseDC(nullptr, dc);
  constexpr int border = 4, padding = 4, title_chars = 14;
  const int icon_cx = GetSystemMetrics(SM_CXICON);
  const int icon_cy = GetSystemMetrics(SM_CYICON);
  const int icon_size = std::max(icon_cx, icon_cy);
  const int title_cx = std::max<int>(metrics.tmAveCharWidth * title_chars,
                                     icon_size + padding + metrics.tmHeight * 2);
  const int cell = border + title_cx + border;
  RECT area{};
  GetClientRect(shell, &area);
  const int per_row = std::max<int>(1, (area.right - area.left) / cell);

  int icons = 0;
  for (const std::string& folder : {desktop.where().user_desktop, desktop.where().public_desktop}) {
    auto entries = desktop.files().list_directory(folder);
    if (!entries) setup_failed("cannot list " + folder);
    for (const DirectoryEntry& entry : *entries) {
      if (has_extension(entry.name, "lnk") && shell_draws(desktop, join_path(folder, entry.name))) {
        ++icons;
      }
    }
  }
  return "grid " + std::to_string(cell) + " " + std::to_string(per_row) + " " +
         std::to_string((cell - icon_cx) / 2) + " " +
         std::to_string(border + (icon_size - icon_cy) / 2) + " " + std::to_string(icon_cx) + " " +
         std::to_string(icon_cy) + " " + std::to_string(icons);
}

// Wine's desktop shell, photographed by tests/e2e/showcase: explorer on a desktop of its
// own named "shell" (Wine enables the shell by that name; the prefix gives its size).
// This thread moves to that desktop and asks for its window, which starts the shell;
// the shell reads both desktops when it starts and then watches them.
//
// The thread stays on the desktop until its standard input ends, because wineserver
// closes a desktop a second after the last process other than the shell has left it.
// Then it closes the shell and waits for its end, so that the next one starts afresh.
// The shell runs only while it is photographed: its watch opens each new file on the
// desktops as a shell link, and a file held open that way cannot be renamed by
// mossglow.exe.
int hold_shell() {
  HDESK shell_desktop = CreateDesktopW(L"shell", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (shell_desktop == nullptr || !SetThreadDesktop(shell_desktop)) {
    setup_failed("cannot move to the desktop named \"shell\" (error " +
                 std::to_string(GetLastError()) + ")");
  }
  HWND window = GetDesktopWindow();
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  HANDLE process =
      id != 0 ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id) : nullptr;
  if (process == nullptr) setup_failed("cannot find the desktop shell's process");
  // Idle once it has read both desktops and painted them.
  if (WaitForInputIdle(process, shell_timeout_ms) != 0) {
    setup_failed("the desktop shell never became idle");
  }
  Desktop desktop;
  say(grid_line(desktop, window));
  while (std::fgetc(stdin) != EOF) {
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  const DWORD waited = WaitForSingleObject(process, shell_timeout_ms);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) setup_failed("the desktop shell did not end");
  return 0;
}

// A thread that has windows of its own cannot change its desktop, and the main thread
// may have some already (COM's, the input method's): a new thread does the holding.
int shell_hold() {
  int status = 1;
  std::thread([&status] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    status = hold_shell();
  }).join();
  return status;
}

// The entries of both desktops as Windows lists them (Wine keeps the hidden and system
// bits beside the file, where only its own file calls read them), one per line:
// "user|public TAB folder,hidden,system or - TAB name". Names hold no control
// characters on Windows, so a tab cannot be part of one.
int print_listing() {
  Desktop desktop;
  const std::pair<std::string_view, std::string> desktops[] = {
      {"user", desktop.where().user_desktop}, {"public", desktop.where().public_desktop}};
  for (const auto& [which, folder] : desktops) {
    auto entries = desktop.files().list_directory(folder);
    if (!entries) setup_failed("cannot list " + folder);
    for (const DirectoryEntry& entry : *entries) {
      std::string flags;
      for (const auto& [bit, flag] : {std::pair{file_attribute_directory, "folder"},
                                      {file_attribute_hidden, "hidden"},
                                      {file_attribute_system, "system"}}) {
        if ((entry.attributes & bit) != 0) flags.append(flags.empty() ? "" : ",").append(flag);
      }
      say(std::string(which) + "\t" + (flags.empty() ? "-" : flags) + "\t" + entry.name);
    }
  }
  return 0;
}

// How many desktop entries and Recycle Bin values differ between two views.
std::string changed(const UserView& before, const UserView& after) {
  std::size_t entries = 0;
  for (const auto& [path, entry] : before.desktop) {
    auto found = after.desktop.find(path);
    if (found == after.desktop.end() || !(found->second == entry)) ++entries;
  }
  for (const auto& [path, entry] : after.desktop) entries += before.desktop.contains(path) ? 0 : 1;
  std::size_t values = 0;
  for (std::size_t i = 0; i < before.recycle.size(); ++i) {
    values += before.recycle[i] != after.recycle[i] ? 1 : 0;
  }
  return plural(entries, "desktop entry", "desktop entries") + " and " +
         plural(values, "Recycle Bin icon value", "Recycle Bin icon values");
}

// What the apply did, in the words of its journals.
std::string apply_breakdown(Desktop& desktop) {
  const auto journal = [&](std::string_view name) {
    return desktop.read(desktop.where().journal(name));
  };
  std::size_t reiconed = 0, converted = 0, covered = 0;
  if (auto records = parse_backup_journal(journal(backup_journal.name))) {
    for (const Record& record : *records) {
      reiconed += record.applied_hash ? 1 : 0;
      converted += record.replacement_hash ? 1 : 0;
    }
  }
  if (auto records = parse_overlay_journal(journal(overlay_journal.name))) {
    for (const Overlay& record : *records) covered += record.shortcut_hash ? 1 : 0;
  }
  return plural(reiconed, "shortcut", "shortcuts") + " re-iconed, " +
         plural(converted, "Steam shortcut", "Steam shortcuts") + " turned into " +
         (converted == 1 ? "a link" : "links") + " to steam.exe, " +
         plural(covered, "file or folder", "files and folders") +
         " hidden under links with the mascot";
}

std::string journals_left(Desktop& desktop) {
  std::string left;
  for (const JournalFiles& journal : all_journals) {
    for (std::string_view name : {journal.name, journal.temporary}) {
      if (desktop.exists(desktop.where().journal(name))) left.append(" ").append(name);
    }
  }
  return left;
}

std::string view_digest(const UserView& view) {
  auto digest = sha256_hex(view_text(view));
  if (!digest) setup_failed("cannot hash a view: " + digest.error());
  return plural(view.desktop.size(), "entry", "entries") + ", " +
         plural(std::ranges::count_if(view.recycle, [](const auto& v) { return v.has_value(); }),
                "Recycle Bin value", "Recycle Bin values") +
         ", SHA-256 " + *digest;
}

long long ms_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
}

int operate(int id) {
  auto found = MainWindow::find(start_timeout_ms);
  if (!found) setup_failed("no MossglowWindow appeared");
  const MainWindow window = *found;

  Desktop desktop;
  const UserView before = desktop.view();
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  window.press(id);
  const long long ms = ms_since(start);
  const UserView after = desktop.view();
  const std::string what = id == apply_id ? "apply" : "restore";
  say(what + ": " + std::to_string(ms) + " ms, " + changed(before, after) + " changed");
  const std::string report = window.control_text(details_box_id);
  if (!report.empty()) say("the " + what + " needs attention:\n" + report);

  if (id == apply_id) {
    say("  " + apply_breakdown(desktop));
    return report.empty() ? 0 : 1;
  }
  const UserView original = load_view(saved_view);
  const std::string differ = differences(original, after);
  const std::string left = journals_left(desktop);
  say("  before the apply:  " + view_digest(original));
  say("  after the restore: " + view_digest(after));
  if (differ.empty() && left.empty() && report.empty()) {
    say("verdict: exact round trip; every file, folder, attribute and Recycle Bin value is "
        "as before, and no journal is left");
    return 0;
  }
  say("verdict: NOT EXACT;" + (differ.empty() ? "" : " differs:" + differ) +
      (left.empty() ? "" : " journals left:" + left));
  return 1;
}

}  // namespace

int run_showcase_command(int argc, wchar_t** argv) {
  const std::wstring_view command = argc >= 2 ? argv[1] : L"";
  const std::wstring_view what = argc >= 3 ? argv[2] : L"";
  if (command == L"seed-showcase" && argc == 2) return seed_showcase();
  if (command == L"shell" && argc == 3 && what == L"hold") return shell_hold();
  if (command == L"listing" && argc == 2) return print_listing();
  if (command == L"operate" && argc == 3 && what == L"apply") return operate(apply_id);
  if (command == L"operate" && argc == 3 && what == L"restore") return operate(restore_id);
  return -1;
}

}  // namespace mossglow::e2e
