// Prints what a whole apply and a whole restore cost on the in-memory Windows for
// desktops of growing size: time, and the disk work that real Windows charges for
// (bytes written to the journals, journal saves, flushes). The in-memory Windows makes
// file calls nearly free, so the time shows the program's own work: a cost per item that
// grows with the desktop is a cost that grows faster than the desktop. Real Windows adds
// its own file and shell costs on top; scripts/bench --wine measures those.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "operations/apply.hpp"
#include "overlay/restore.hpp"
#include "platform/path.hpp"
#include "recycle/restore.hpp"
#include "shortcuts/restore.hpp"
#include "state/data_directory.hpp"
#include "support/fake_shell.hpp"
#include "support/fake_windows.hpp"

namespace {

using namespace mossglow;
using Clock = std::chrono::steady_clock;

// The disk work that costs on a real disk, counted over one operation.
struct DiskWork {
  std::uint64_t journal_bytes = 0;  // written to a journal or its temporary file
  int journal_saves = 0;            // writes to a journal or its temporary file
  int flushes = 0;                  // writes that flush (a write in place always does)
};

// Whether a path is one of the journals' files: the journal, its temporary file, or any
// other file in the data directory named after a journal, so that the count stays
// honest whatever form the journal's writes take.
bool is_journal_file(std::string_view path, std::string_view home) {
  if (!paths_equal(parent_path(path), home)) return false;
  const std::string_view name = file_name(path);
  for (const JournalFiles& journal : all_journals) {
    const std::string_view stem = journal.name.substr(0, journal.name.find('.') + 1);
    if (name.size() >= stem.size() && paths_equal(name.substr(0, stem.size()), stem)) return true;
  }
  return false;
}

// Forwards every call to the fake and counts the calls that write or flush. The shell
// writes links through the fake directly, without flushing, so it passes by unseen.
class CountingFileSystem final : public FileSystem {
 public:
  CountingFileSystem(FileSystem& inner, std::string home) : inner_(inner), home_(std::move(home)) {}

  DiskWork take() { return std::exchange(work_, DiskWork{}); }

  OsResult<FileMetadata> metadata(std::string_view p) override { return inner_.metadata(p); }
  OsResult<std::uint32_t> get_attributes(std::string_view p) override {
    return inner_.get_attributes(p);
  }
  OsResult<void> set_attributes(std::string_view p, std::uint32_t a) override {
    return inner_.set_attributes(p, a);
  }
  OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view p) override {
    return inner_.list_directory(p);
  }
  OsResult<std::string> read_file(std::string_view p) override { return inner_.read_file(p); }
  OsResult<void> write_file(std::string_view p, std::string_view b, bool flush) override {
    count_write(p, b, flush);
    return inner_.write_file(p, b, flush);
  }
  InPlaceResult write_in_place(std::string_view p, std::string_view e,
                               std::string_view b) override {
    count_write(p, b, true);
    return inner_.write_in_place(p, e, b);
  }
  OsResult<void> flush_file(std::string_view p) override {
    ++work_.flushes;
    return inner_.flush_file(p);
  }
  OsResult<void> create_new_file(std::string_view p, std::string_view b, bool flush) override {
    count_write(p, b, flush);
    return inner_.create_new_file(p, b, flush);
  }
  OsResult<void> rename_replace(std::string_view from, std::string_view to) override {
    return inner_.rename_replace(from, to);
  }
  OsResult<void> rename_new(std::string_view from, std::string_view to) override {
    return inner_.rename_new(from, to);
  }
  OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) override {
    return inner_.replace_file(replaced, replacement);
  }
  OsResult<void> delete_file(std::string_view p) override { return inner_.delete_file(p); }
  OsResult<void> create_directories(std::string_view p) override {
    return inner_.create_directories(p);
  }

 private:
  void count_write(std::string_view path, std::string_view bytes, bool flush) {
    if (flush) ++work_.flushes;
    if (!is_journal_file(path, home_)) return;
    work_.journal_bytes += bytes.size();
    ++work_.journal_saves;
  }

  FileSystem& inner_;
  std::string home_;  // the data directory
  DiskWork work_;
};

// Half shell links, half plain files; each kind spread evenly over both desktops.
void fill_desktops(fake::FakeWindows& w, int items) {
  const std::string link =
      fake::FakeShell::link_bytes(LinkInfo{"C:\\Tools\\app.exe", "--flag", "C:\\Tools", "", 0});
  for (int i = 0; i < items; ++i) {
    const std::string_view desktop = (i / 2) % 2 ? fake::public_desktop : fake::user_desktop;
    const std::string n = std::to_string(i);
    if (i % 2 == 0) {
      w.files.add_file(join_path(desktop, "应用 " + n + ".lnk"), link);
    } else {
      w.files.add_file(join_path(desktop, "笔记 " + n + ".txt"), "note " + n);
    }
  }
}

// Every entry of both desktops with its bytes and attributes.
using Picture = std::vector<std::tuple<std::string, std::string, std::uint32_t>>;
Picture desktop_picture(const fake::FakeWindows& w) {
  Picture picture;
  for (const std::string_view desktop : {fake::user_desktop, fake::public_desktop}) {
    for (const std::string& path : w.files.tree(desktop)) {
      picture.emplace_back(path, w.files.content(path).value_or(""),
                           w.files.attributes(path).value_or(0));
    }
  }
  return picture;
}

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Measured {
  int items = 0;
  double ms = 0;
  DiskWork work;
};

void print_table(const char* title, const std::vector<Measured>& rows) {
  std::printf("%s\n", title);
  std::printf("%7s %10s %9s %14s %10s %7s %10s %8s %11s\n", "items", "ms", "us/item",
              "journal bytes", "bytes/item", "saves", "saves/item", "flushes", "flush/item");
  for (const Measured& row : rows) {
    const double n = row.items;
    std::printf("%7d %10.1f %9.1f %14llu %10.0f %7d %10.2f %8d %11.2f\n", row.items, row.ms,
                1000 * row.ms / n, static_cast<unsigned long long>(row.work.journal_bytes),
                static_cast<double>(row.work.journal_bytes) / n, row.work.journal_saves,
                row.work.journal_saves / n, row.work.flushes, row.work.flushes / n);
  }
}

}  // namespace

int main() {
  std::vector<Measured> applies;
  std::vector<Measured> restores;
  for (int items : {100, 1000, 3000}) {
    fake::FakeWindows w;
    // As under Wine, no view that places icons: the fake's model of Explorer's grid is
    // not the program's work, and would be what is timed.
    w.view.fail_from(1, e_fail);
    fill_desktops(w, items);
    const Picture before = desktop_picture(w);
    const std::string home = *data_directory(w.env);
    CountingFileSystem files(w.files, home);
    const System sys{files, w.shell, w.env, w.messages, w.registry, w.view, w.waiter};
    const DesktopFolders desktops{std::string(fake::user_desktop),
                                  std::string(fake::public_desktop)};

    // In the order the program's runner takes the steps.
    auto start = Clock::now();
    const auto applied = apply_skin(sys, desktops, home);
    applies.push_back({items, milliseconds_since(start), files.take()});

    start = Clock::now();
    const DesktopPlaces places = DesktopPlaces::survey(sys, {desktops[0], desktops[1]}, home);
    const auto overlay = restore_overlay(sys, places, home);
    const auto recycle = restore_recycle_icon(sys, home);
    const auto shortcuts = restore_shortcuts(sys, places, home);
    restores.push_back({items, milliseconds_since(start), files.take()});

    // Figures of a run that skipped items or stopped early would flatter it.
    bool journals_left = false;
    for (const JournalFiles& journal : all_journals) {
      journals_left = journals_left || w.files.exists(join_path(home, journal.name));
    }
    const bool desktops_back = desktop_picture(w) == before;
    if (!applied || applied->needs_attention || !overlay || overlay->left_undone || !shortcuts ||
        shortcuts->left_undone || journals_left || !desktops_back) {
      std::fprintf(stderr, "apply or restore did not complete at %d items\n", items);
      return 1;
    }
    (void)recycle;  // the fake profile may lack the Recycle Bin key; not what is timed here
  }
  std::printf("Fake Windows, whole apply and restore; half shell links, half plain files\n\n");
  print_table("apply", applies);
  std::printf("\n");
  print_table("restore", restores);
  return 0;
}
