#include "shortcuts/scan.hpp"

#include "platform/path.hpp"

namespace mossglow {

Result<std::string> known_folder_path(const System& sys, KnownFolder folder) {
  return with_windows_text(sys.messages, sys.env.known_folder(folder));
}

std::vector<std::string> desktop_shortcuts(const DesktopListing& listing) {
  std::vector<std::string> shortcuts;
  for (const ListedEntry& entry : listing.entries()) {
    if (entry.is_directory() || entry.is_link()) continue;
    if (has_extension(entry.path, "lnk") || has_extension(entry.path, "url")) {
      shortcuts.push_back(entry.path);
    }
  }
  return shortcuts;
}

}  // namespace mossglow
