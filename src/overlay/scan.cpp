#include "overlay/scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

Result<std::vector<std::string>> scan_overlay_candidates(const System& sys,
                                                         const DesktopFolders& desktops) {
  std::vector<std::string> candidates;
  for (const std::string_view folder : distinct_desktops(desktops)) {
    auto entries = sys.files.list_directory(folder);
    if (!entries) return std::unexpected(sys.os_text(entries.error()));
    for (const DirectoryEntry& entry : *entries) {
      // An entry is judged by its own attributes, as the listing gives them.
      if ((entry.attributes & overlay_excluded_attributes) != 0) continue;
      std::string path = join_path(folder, entry.name);
      // Shortcut files are skinned in place by the shortcut steps; a folder is covered
      // whatever its name.
      if (!entry.is_directory() && (has_extension(path, "lnk") || has_extension(path, "url"))) {
        continue;
      }
      candidates.push_back(std::move(path));
    }
  }
  return candidates;
}

}  // namespace mossglow
