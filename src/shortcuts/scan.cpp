#include "shortcuts/scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

Result<std::string> known_folder_path(const System& sys, KnownFolder folder) {
  return with_windows_text(sys.messages, sys.env.known_folder(folder));
}

Result<std::vector<std::string>> scan_desktop_shortcuts(const System& sys,
                                                        const DesktopFolders& desktops) {
  std::vector<std::string> shortcuts;
  for (const std::string& folder : desktops) {
    auto names = sys.files.list_directory(folder);
    if (!names) return std::unexpected(sys.os_text(names.error()));
    for (const std::string& name : *names) {
      std::string path = join_path(folder, name);
      // Only plain files count: folders, links to folders and entries whose metadata
      // cannot be read (a dangling link, say) are left out without complaint.
      const auto metadata = sys.files.metadata(path);
      if (!metadata || !metadata->is_file()) continue;
      if (!has_extension(path, "lnk") && !has_extension(path, "url")) continue;
      shortcuts.push_back(std::move(path));
    }
  }
  return shortcuts;
}

}  // namespace mossglow
