#include "overlay/overlay_scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

Result<std::vector<OverlayCandidate>> scan_overlay_candidates(const System& sys,
                                                              const DesktopFolders& desktops) {
  std::vector<OverlayCandidate> candidates;
  for (const std::string_view folder : distinct_desktops(desktops)) {
    auto names = sys.files.list_directory(folder);
    if (!names) return std::unexpected(sys.os_text(names.error()));
    for (const std::string& name : *names) {
      std::string path = join_path(folder, name);
      const auto metadata = sys.files.symlink_metadata(path);
      if (!metadata) {
        candidates.push_back({std::move(path), sys.os_text(metadata.error())});
        continue;
      }
      if ((metadata->attributes & overlay_excluded_attributes) != 0) continue;
      // Shortcut files are skinned in place by the shortcut steps; a folder is covered
      // whatever its name.
      if (!metadata->is_directory() && (has_extension(path, "lnk") || has_extension(path, "url"))) {
        continue;
      }
      candidates.push_back({std::move(path), std::nullopt});
    }
  }
  return candidates;
}

}  // namespace mossglow
