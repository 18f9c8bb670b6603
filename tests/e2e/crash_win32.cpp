#include "crash_win32.hpp"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_win32.hpp"
#include "overlay/journal.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "recycle/journal.hpp"
#include "recycle_icons_win32.hpp"
#include "state/backup_journal.hpp"
#include "window_probe_win32.hpp"

namespace mossglow::e2e {
namespace {

// What the user had before the first apply, kept across the runs of the driver.
constexpr std::string_view saved_view = "C:\\mossglow-crash-before.txt";

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string count(std::size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what);
}

template <class Records, class Pred>
std::size_t count_if(const Records& records, Pred pred) {
  std::size_t n = 0;
  for (const auto& record : records) n += pred(record) ? 1 : 0;
  return n;
}

// How far the records of one journal file got, in the words of what they stand for.
std::string journal_summary(std::string_view name, const std::string& bytes) {
  if (bytes.empty()) return "empty";
  const auto unreadable = [](const std::string& error) { return "unreadable (" + error + ")"; };
  if (name.starts_with("backup")) {
    auto records = parse_backup_journal(bytes);
    if (!records) return unreadable(records.error());
    return count(records->size(), "shortcuts") + ", " +
           count(count_if(*records, [](const Record& r) { return r.applied_hash.has_value(); }),
                 "re-iconed") +
           ", " +
           count(count_if(*records, [](const Record& r) { return r.replacement_hash.has_value(); }),
                 "converted");
  }
  if (name.starts_with("overlay")) {
    auto records = parse_overlay_journal(bytes);
    if (!records) return unreadable(records.error());
    return count(records->size(), "items") + ", " +
           count(count_if(*records, [](const Overlay& r) { return r.shortcut_hash.has_value(); }),
                 "covered");
  }
  if (name.starts_with("recycle")) {
    auto records = parse_recycle_journal(bytes);
    if (!records) return unreadable(records.error());
    return count(records->size(), "values");
  }
  return count(bytes.size(), "bytes");
}

// Wine's ReplaceFileW first moves the replaced file aside to a name GetTempFileNameW
// makes in the same folder ("rf" and up to four hex digits, created empty), and deletes
// it afterwards; a kill in between leaves that file. Wine's, not a journal: nothing
// reads it, and Windows' ReplaceFileW makes no such file.
bool is_wine_replace_leftover(std::string_view name) {
  if (!name.starts_with("rf") || !name.ends_with(".tmp")) return false;
  const std::string_view digits = name.substr(2, name.size() - 6);
  return !digits.empty() && digits.size() <= 4 &&
         digits.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
}

// The journal files in the data directory (every .json or .tmp file but Wine's
// leftovers), and those leftovers apart, each with what it holds.
struct DataFiles {
  std::string journals;
  std::string wine_leftovers;
  std::vector<std::string> leftover_paths;
};

DataFiles data_files(Desktop& desktop) {
  DataFiles result;
  const std::string& folder = desktop.where().data_directory;
  if (!desktop.exists(folder)) return result;
  auto names = desktop.files().list_directory(folder);
  if (!names) setup_failed("cannot list " + folder);
  for (const DirectoryEntry& entry : *names) {
    const std::string& name = entry.name;
    if (!has_extension(name, "json") && !has_extension(name, "tmp")) continue;
    const std::string path = join_path(folder, name);
    const bool leftover = is_wine_replace_leftover(name);
    std::string& list = leftover ? result.wine_leftovers : result.journals;
    list += (list.empty() ? " " : "; ") + name + ": " + journal_summary(name, desktop.read(path));
    if (leftover) result.leftover_paths.push_back(path);
  }
  return result;
}

std::string or_none(const std::string& text) { return text.empty() ? " none" : text; }

// The button's id, or 0 for a name that is neither.
int button(std::wstring_view name) {
  if (name == L"apply") return apply_id;
  if (name == L"restore") return restore_id;
  return 0;
}

int seed_mixed() {
  Desktop desktop;
  desktop.reset();
  seed_mixed_desktop(desktop);
  seed_recycle_icons();
  if (!save_view(desktop.view(), saved_view)) setup_failed("cannot save the view");
  return 0;
}

// What an operation's progress shows from outside without opening a file the program
// may be using: the names and sizes of the journal files, and the Recycle Bin's values.
std::string progress(Desktop& desktop) {
  std::string out;
  const std::u16string pattern = to_utf16(join_path(desktop.where().data_directory, "*"));
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.c_str()), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = to_utf8_lossy(reinterpret_cast<const char16_t*>(found.cFileName));
      if (has_extension(name, "json") || has_extension(name, "tmp")) {
        out += name + " " + std::to_string(found.nFileSizeLow) + "\n";
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  for (const auto& value : read_recycle_icons()) {
    out += value ? std::to_string(value->type) + " " + value->bytes + "\n" : "-\n";
  }
  return out;
}

long long ms_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
}

// Posts the command and waits until the operation has started: the buttons go grey.
bool post_and_wait_for_start(const MainWindow& window, int id) {
  window.post(id);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (window.control_enabled(id)) {
    if (GetTickCount64() > deadline) return false;
    Sleep(1);
  }
  return true;
}

// An uninterrupted operation, which must need no attention: an apply that did its whole
// work (the Steam shortcut converted), a restore that brought back the saved view.
// Prints the milliseconds from its start to its end and to the last change of its
// progress; the shell notifications after that change nothing a kill could catch.
int timed(int id) {
  const MainWindow window = MainWindow::find_or_fail();
  Desktop desktop;
  std::string seen = progress(desktop);
  if (!post_and_wait_for_start(window, id)) {
    say("the operation never started");
    return 1;
  }
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  long long work_ms = 0;
  while (!window.control_enabled(id)) {
    if (std::string now = progress(desktop); now != seen) {
      seen = std::move(now);
      work_ms = ms_since(start);
    }
    Sleep(5);
  }
  const long long total_ms = ms_since(start);
  const std::string report = window.control_text(details_box_id);
  if (!report.empty()) {
    say("the operation needs attention:\n" + report);
    return 1;
  }
  if (id == apply_id) {
    const std::string steam = join_path(desktop.where().user_desktop, "Dota 2");
    if (desktop.exists(steam + ".url") || !desktop.exists(steam + ".lnk")) {
      say("the Steam shortcut was not converted");
      return 1;
    }
    // What the real shell reads back from the generated link: steam.exe with the game's
    // address after "--", started in Steam's folder, showing the mascot.
    const std::string steam_folder = "C:\\Program Files (x86)\\Steam";
    const auto link = desktop.read_link(steam + ".lnk");
    if (!link || !equals_ignoring_ascii_case(link->target, join_path(steam_folder, "steam.exe")) ||
        link->arguments != "-- \"steam://rungameid/570\"" ||
        !equals_ignoring_ascii_case(link->working_directory, steam_folder) ||
        !equals_ignoring_ascii_case(link->icon_path, desktop.where().icon_path) ||
        link->icon_index != 0) {
      say("the Steam link does not start steam.exe with the game and the mascot icon");
      return 1;
    }
  } else {
    const std::string left =
        differences(load_view(saved_view), desktop.view()) + data_files(desktop).journals;
    if (!left.empty()) {
      say("the restore left:" + left);
      return 1;
    }
  }
  say(std::to_string(total_ms) + " " + std::to_string(work_ms));
  return 0;
}

int post(int id, std::optional<DWORD> delay_ms) {
  const MainWindow window = MainWindow::find_or_fail();
  if (!delay_ms) {
    window.post(id);
    say("posted");
    return 0;
  }
  // The delay counts from the start of the operation, as timed() measures it.
  if (!post_and_wait_for_start(window, id)) {
    say("never started");
    return 1;
  }
  Sleep(*delay_ms);
  say(window.control_enabled(id) ? "finished" : "running");
  return 0;
}

// The killed instance's lock goes when the system has noticed its end; a restore
// pressed before that would only be refused as busy.
void wait_for_lock_release() {
  for (int waited = 0; waited < 10000; waited += 50) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\MossglowOperationMutex");
    if (mutex == nullptr) return;
    CloseHandle(mutex);
    Sleep(50);
  }
  setup_failed("the killed instance's operation lock is still held");
}

int recover() {
  Desktop desktop;
  const UserView before = load_view(saved_view);
  const DataFiles killed = data_files(desktop);
  say("  journals after the kill:" + or_none(killed.journals));
  if (!killed.wine_leftovers.empty()) say("  Wine's ReplaceFileW left:" + killed.wine_leftovers);
  say("  desktop after the kill:" + or_none(differences(before, desktop.view())));
  // Each round's listing shows only what its own kill left.
  for (const std::string& path : killed.leftover_paths) {
    if (!desktop.files().delete_file(path)) setup_failed("cannot delete " + path);
  }
  wait_for_lock_release();
  const MainWindow window = MainWindow::find_or_fail();
  for (int restores = 1; restores <= 2; ++restores) {
    window.press(restore_id);
    const std::string report = window.control_text(details_box_id);
    if (!report.empty()) say("  restore " + std::to_string(restores) + " reported:\n" + report);
    const std::string left = differences(before, desktop.view());
    const std::string journals = data_files(desktop).journals;
    if (left.empty() && journals.empty()) {
      say("  restored exactly by " + count(restores, restores == 1 ? "restore" : "restores"));
      return 0;
    }
    say("  after restore " + std::to_string(restores) + ": desktop" + or_none(left) + "; journals" +
        or_none(journals));
  }
  return 1;
}

}  // namespace

int run_crash_command(int argc, wchar_t** argv) {
  const std::wstring_view command = argc >= 2 ? argv[1] : L"";
  if (command == L"seed-mixed" && argc == 2) return seed_mixed();
  if (command == L"recover" && argc == 2) return recover();
  const int id = argc >= 3 ? button(argv[2]) : 0;
  if (command == L"timed" && id != 0 && argc == 3) return timed(id);
  if (command == L"post" && id != 0 && argc == 3) return post(id, std::nullopt);
  if (command == L"post" && id != 0 && argc == 4) {
    return post(id, static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  }
  return -1;
}

}  // namespace mossglow::e2e
