#include "platform/desktop_listing.hpp"

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow {

Result<DesktopListing> DesktopListing::read(const System& sys, const DesktopFolders& desktops) {
  DesktopListing listing;
  for (const std::string_view folder : distinct_desktops(desktops)) {
    auto entries = sys.files.list_directory(folder);
    if (!entries) return sys.failure(entries.error());
    for (const DirectoryEntry& entry : *entries) {
      ListedEntry listed{join_path(folder, entry.name), entry.attributes};
      listing.by_name_.emplace(ascii_lower(listed.path), listed.attributes);
      listing.entries_.push_back(std::move(listed));
    }
  }
  return listing;
}

std::optional<std::uint32_t> DesktopListing::attributes(std::string_view path) const {
  const auto it = by_name_.find(ascii_lower(path));
  if (it == by_name_.end()) return std::nullopt;
  return it->second;
}

}  // namespace mossglow
