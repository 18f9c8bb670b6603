#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_folders.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One entry of a desktop, as its folder's listing describes it.
struct ListedEntry {
  std::string path;  // the folder joined with the entry's name
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint32_t reparse_tag = 0;

  bool is_directory() const { return (attributes & file_attribute_directory) != 0; }
  // A symbolic link, junction or mount point. Any other reparse point (a cloud
  // placeholder of OneDrive or another sync client, a deduplicated file) is the item.
  bool is_link() const {
    return (attributes & file_attribute_reparse_point) != 0 && is_name_surrogate(reparse_tag);
  }
};

// Both desktops as one listing of each folder shows them, the user's first (a folder
// both resolve to is listed once). Questions about many names are answered from it
// rather than by asking the file system once per name; whatever relies on a name
// staying free still makes its own change fail when the name is taken meanwhile.
class DesktopListing {
 public:
  // The OS error text when a folder cannot be listed.
  static Result<DesktopListing> read(const System& sys, const DesktopFolders& desktops);

  // Desktop order, then listing order.
  const std::vector<ListedEntry>& entries() const { return entries_; }
  // The entry when the listing holds it (names compared ignoring ASCII case, as Windows
  // compares them).
  const ListedEntry* find(std::string_view path) const;
  bool contains(std::string_view path) const { return find(path) != nullptr; }

 private:
  std::vector<ListedEntry> entries_;
  std::map<std::string, std::size_t> by_name_;  // folded full path -> index in entries_
};

}  // namespace mossglow
