// Prints how long a whole apply and a whole restore take on the in-memory Windows for
// desktops of growing size. Each journal save rewrites the whole list, so the time per
// shortcut grows with the desktop; these figures show by how much. Real Windows adds
// its own file and shell costs on top, which this does not measure.
#include <chrono>
#include <cstdio>
#include <string>

#include "overlay/overlay_restore.hpp"
#include "recycle/recycle_restore.hpp"
#include "operations/apply.hpp"
#include "shortcuts/restore.hpp"
#include "support/fake_shell.hpp"
#include "support/fake_windows.hpp"

namespace {

using namespace mossglow;
using Clock = std::chrono::steady_clock;

constexpr std::string_view data_directory = "C:\\Users\\user\\AppData\\Local\\MossglowHome";

std::string on(std::string_view desktop, const std::string& name) {
  return std::string(desktop) + "\\" + name;
}

// A third each of shell links, internet shortcuts and plain files, spread over both desktops.
void fill_desktops(fake::FakeWindows& w, int items) {
  const std::string link =
      fake::FakeShell::link_bytes(LinkInfo{"C:\\Tools\\app.exe", "--flag", "C:\\Tools", "", 0});
  for (int i = 0; i < items; ++i) {
    const std::string_view desktop = i % 2 ? fake::public_desktop : fake::user_desktop;
    const std::string n = std::to_string(i);
    switch (i % 3) {
      case 0:
        w.files.add_file(on(desktop, "应用 " + n + ".lnk"), link);
        break;
      case 1:
        w.files.add_file(on(desktop, "Site " + n + ".url"),
                         "[InternetShortcut]\r\nURL=https://example.com/" + n + "\r\n");
        break;
      default:
        w.files.add_file(on(desktop, "笔记 " + n + ".txt"), "note " + n);
        break;
    }
  }
}

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  std::printf("%8s %12s %14s %12s %14s\n", "items", "apply ms", "apply us/item", "restore ms",
              "restore us/item");
  for (int items : {30, 300, 1500, 3000}) {
    fake::FakeWindows w;
    fill_desktops(w, items);
    const System sys = w.system();
    const DesktopFolders desktops{std::string(fake::user_desktop),
                                  std::string(fake::public_desktop)};

    auto start = Clock::now();
    const auto applied = apply_skin(sys, desktops, data_directory);
    const double apply_ms = milliseconds_since(start);

    start = Clock::now();
    const auto overlay = restore_overlay(sys, desktops, data_directory);
    const auto recycle = restore_recycle_icon(sys, data_directory);
    const auto shortcuts = restore_shortcuts(sys, desktops, data_directory);
    const double restore_ms = milliseconds_since(start);

    const bool journals_left = w.files.exists(std::string(data_directory) + "\\backup.json") ||
                               w.files.exists(std::string(data_directory) + "\\overlay.json");
    if (!applied || applied->needs_attention || !overlay || !shortcuts || journals_left) {
      std::fprintf(stderr, "apply or restore did not complete at %d items\n", items);
      return 1;
    }
    (void)recycle;  // the fake profile may lack the Recycle Bin key; not what is timed here
    std::printf("%8d %12.1f %14.1f %12.1f %14.1f\n", items, apply_ms, 1000 * apply_ms / items,
                restore_ms, 1000 * restore_ms / items);
  }
  return 0;
}
