#include "overlay/scan.hpp"

#include "platform/path.hpp"
#include "state/placement.hpp"

namespace mossglow {

std::vector<std::string> overlay_candidates(const DesktopListing& listing) {
  std::vector<std::string> candidates;
  for (const ListedEntry& entry : listing.entries()) {
    if ((entry.attributes & overlay_excluded_attributes) != 0) continue;
    // A copy the program could not rename into place (and a restore will remove) is
    // not the user's item.
    if (is_placement_temporary(entry.path)) continue;
    // Shortcut files are skinned in place by the shortcut steps; a folder is covered
    // whatever its name.
    if (!entry.is_directory() &&
        (has_extension(entry.path, "lnk") || has_extension(entry.path, "url"))) {
      continue;
    }
    candidates.push_back(entry.path);
  }
  return candidates;
}

}  // namespace mossglow
