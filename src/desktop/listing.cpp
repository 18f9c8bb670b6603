#include "desktop/listing.hpp"

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow {

Result<DesktopListing> DesktopListing::read(const System& sys, const DesktopFolders& desktops) {
  DesktopListing listing;
  for (const std::string_view folder : distinct_desktops(desktops)) {
    auto entries = sys.files.list_directory(folder);
    if (!entries) return sys.failure(entries.error());
    for (const DirectoryEntry& entry : *entries) {
      ListedEntry listed{join_path(folder, entry.name), entry.attributes, entry.size,
                         entry.reparse_tag};
      listing.by_name_.emplace(ascii_lower(listed.path), listing.entries_.size());
      listing.entries_.push_back(std::move(listed));
    }
  }
  return listing;
}

const ListedEntry* DesktopListing::find(std::string_view path) const {
  const auto it = by_name_.find(ascii_lower(path));
  if (it == by_name_.end()) return nullptr;
  return &entries_[it->second];
}

}  // namespace mossglow
