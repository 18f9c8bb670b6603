#include "overlay/scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

std::vector<ListedEntry> overlay_candidates(const DesktopListing& listing) {
  std::vector<ListedEntry> candidates;
  for (const ListedEntry& entry : listing.entries()) {
    if ((entry.attributes & overlay_excluded_attributes) != 0 || entry.is_link()) continue;
    // Shortcut files are skinned in place by the shortcut steps; a folder is covered
    // whatever its name.
    if (!entry.is_directory() &&
        (has_extension(entry.path, "lnk") || has_extension(entry.path, "url"))) {
      continue;
    }
    candidates.push_back(entry);
  }
  return candidates;
}

}  // namespace mossglow
