#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "desktop/listing.hpp"
#include "platform/desktop_folders.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The desktop folders an apply dressed, remembered in the data directory (desktops.json,
// a file of its own beside the journals), and the places a restore may act on.
//
// A desktop can move after an apply (its Location tab; OneDrive's folder backup turned
// on later), and Windows moves the files with it; a redirected desktop can be offline.
// A journal only names places, so the restore decides where each named entry is now,
// and touches nothing but entries directly on the desktops as they resolve today.

// Saves the two desktop folders of this apply, flushed, before any journal names an
// entry on them.
Status remember_desktops(const System& sys, std::string_view data_directory,
                         const DesktopFolders& desktops);

// Removes what remember_desktops saved; nothing when it is not there.
Status forget_desktops(const System& sys, std::string_view data_directory);

// The desktops as one restore finds them: each as it resolves now (or why it does not),
// each as the apply remembered it, and one listing of each folder that resolved.
class DesktopPlaces {
 public:
  // Resolves nothing itself: `now` holds each desktop's folder or its error text, the
  // user's desktop first. A missing or unreadable desktops.json remembers nothing.
  static DesktopPlaces survey(const System& sys, const std::array<Result<std::string>, 2>& now,
                              std::string_view data_directory);

  // Where the entry a journal names is now, or the reason its record is kept:
  // - directly on a desktop as it resolves now: that path;
  // - directly in a remembered desktop that moved away and no longer holds it: the same
  //   name on today's desktop of that kind (whose content the caller proves as usual);
  // - anything else (in no desktop, still in a folder that is no longer a desktop, on a
  //   desktop that does not resolve or cannot be listed, or a name Windows would not
  //   take as written) is kept; `elsewhere` is the reason given for an entry that lies
  //   in no desktop at all.
  Result<std::string> locate(std::string_view journal_path, std::string_view elsewhere) const;

  // The entry at a located path as its folder's listing shows it, taken before the
  // restore changed anything; nothing when the listing does not hold it.
  const ListedEntry* entry(std::string_view located_path) const;

  // The desktops that resolved, in desktop order (for the notifications).
  std::vector<std::string> resolved() const;

 private:
  struct Desktop {
    Result<std::string> now = std::unexpected(std::string());
    std::optional<std::string> remembered;
    std::optional<std::string> listing_error;     // today's folder could not be listed
    std::optional<std::string> remembered_error;  // the remembered one could not be looked at
  };
  std::array<Desktop, 2> desktops_;
  std::map<std::string, ListedEntry> entries_;  // today's desktops, by folded path
  std::set<std::string> left_behind_;           // still in a remembered folder, folded paths
};

}  // namespace mossglow
