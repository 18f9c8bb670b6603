#include "shortcuts/scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

Result<std::string> known_folder_path(const System& sys, KnownFolder folder) {
  return with_windows_text(sys.messages, sys.env.known_folder(folder));
}

Result<std::vector<std::string>> scan_desktop_shortcuts(const System& sys,
                                                        const DesktopFolders& desktops) {
  std::vector<std::string> shortcuts;
  for (const std::string_view folder : distinct_desktops(desktops)) {
    auto entries = sys.files.list_directory(folder);
    if (!entries) return std::unexpected(sys.os_text(entries.error()));
    for (const DirectoryEntry& entry : *entries) {
      std::string path = join_path(folder, entry.name);
      // Only plain files count: folders and symbolic links are left out without
      // complaint. A link is not followed: what the program writes must land on the
      // desktop, never on the file a link leads to.
      if (entry.is_directory() || entry.is_symlink()) continue;
      if (!has_extension(path, "lnk") && !has_extension(path, "url")) continue;
      shortcuts.push_back(std::move(path));
    }
  }
  return shortcuts;
}

}  // namespace mossglow
