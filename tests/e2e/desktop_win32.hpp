#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/environment_win32.hpp"
#include "platform/file_system_win32.hpp"
#include "platform/shell_win32.hpp"
#include "recycle_icons_win32.hpp"

namespace mossglow::e2e {

// The folders of the prefix that the program works on, as it resolves them itself.
struct Locations {
  std::string user_desktop;
  std::string public_desktop;
  std::string data_directory;
  std::string icon_path;  // brambun.ico in the data directory
  std::string journal(std::string_view name) const;
};

// One desktop entry as the test compares it: attributes (without the archive bit,
// which copies may set or clear) and, for a file, its bytes.
struct Entry {
  std::uint32_t attributes = 0;
  bool directory = false;
  std::string bytes;
  friend bool operator==(const Entry&, const Entry&) = default;
};
// Every entry in both desktops, and in the folders on them, by full path.
using Snapshot = std::map<std::string, Entry>;

// What the user sees of the program's work: the desktops and the Recycle Bin's icons.
struct UserView {
  Snapshot desktop;
  RecycleIcons recycle;
};

// Seeds and inspects the desktops through the program's own Windows layer. A setup
// step that fails ends the driver: the scenarios would prove nothing.
class Desktop {
 public:
  Desktop();

  const Locations& where() const { return where_; }
  Win32FileSystem& files() { return files_; }
  Win32Shell& shell() { return shell_; }
  // A link file's properties as the shell link object reads them from its bytes.
  ComResult<LinkInfo> read_link(std::string_view path);
  // The file's ID (its inode under Wine), which stays while it is changed in place.
  std::uint64_t file_id(std::string_view path);

  // Empties both desktops and removes every journal, so that a scenario starts clean.
  void reset();

  void make_link(std::string_view path, std::string_view target, std::string_view arguments);
  void make_url(std::string_view path, std::string_view address);
  void make_file(std::string_view path, std::string_view bytes);
  void make_folder(std::string_view path);
  void add_attributes(std::string_view path, std::uint32_t bits);

  Snapshot snapshot();
  UserView view() { return {snapshot(), read_recycle_icons()}; }
  bool exists(std::string_view path);
  std::string read(std::string_view path);

 private:
  void empty_folder(const std::string& folder);
  void add_folder(const std::string& folder, Snapshot& into);

  Win32FileSystem files_;
  Win32Shell shell_;
  Win32Environment env_;
  Locations where_;
};

// The sample desktop: shortcuts to Wine's own programs and web pages, a plain file and a
// folder on the user's desktop, more shortcuts on the public desktop.
void seed_sample_desktop(Desktop& desktop);

// A desktop of every kind of item the program handles, both desktops used: shell links
// (one hidden), web and Steam .url files (with a stand-in steam.exe registered for steam:
// addresses), plain files (one read-only), a folder, Chinese names.
void seed_mixed_desktop(Desktop& desktop);

// A Steam game's .url on the user's desktop, and a stand-in steam.exe registered for
// steam: addresses (in the user's classes and in HKEY_CLASSES_ROOT).
void seed_steam_game(Desktop& desktop);

// Names of the entries that differ between two snapshots; empty when they agree.
std::string differences(const Snapshot& before, const Snapshot& after);
// The same for views, with the Recycle Bin values that differ.
std::string differences(const UserView& before, const UserView& after);

// A view as text: one line per desktop entry ("F name attributes directory bytes") and
// per Recycle Bin value present ("R index type bytes"), names and bytes in hex, "-" for
// none. Equal views give equal texts.
std::string view_text(const UserView& view);

// Keeps a view between two runs of the driver.
bool save_view(const UserView& view, std::string_view path);
UserView load_view(std::string_view path);

[[noreturn]] void setup_failed(std::string_view what);

}  // namespace mossglow::e2e
