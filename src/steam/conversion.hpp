#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/writes.hpp"
#include "platform/desktop_folders.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"
#include "state/originals.hpp"

namespace mossglow {

// Asks the shell which icon the link at `link_path` shows and accepts it only when that
// is exactly the mascot icon file with index 0: a link the shell cannot read or shows
// with another icon must not replace the user's shortcut.
Status verify_icon_read_back(const System& sys, std::string_view link_path,
                             std::string_view expected_icon_path);

// The arguments that make steam.exe open a game address: -- "address".
std::string steam_link_arguments(std::string_view address);

// The folder a link to the launcher starts in: the launcher's folder as written (a
// root keeps its separator), empty for a bare file name.
std::string launcher_folder(std::string_view launcher);

// The bytes of a shell link that starts the registered steam.exe with the game address
// and shows the mascot icon, made in memory and proven to hold all of that (read back
// from the bytes themselves) before anything is written.
Result<std::string> steam_link_bytes(const System& sys, std::string_view address,
                                     std::string_view icon_path);

// The link that takes a Steam .url's place: same folder, same stem, extension lnk.
std::string steam_link_path(std::string_view url_path);

// Refuses a conversion whose link name is taken on either desktop: the shell shows both
// desktops as one, so a link of that name in the other folder would clash as well.
Status check_steam_name_clash(const System& sys, std::string_view url_path,
                              const DesktopFolders& desktops);

// One Steam game shortcut whose journal record is saved.
struct SteamEntry {
  std::string_view address;   // from the .url, unchanged
  std::string_view url_path;  // the .url on the desktop
  std::size_t index;          // its place in the shortcut list
  OriginalsFolder& originals;
  std::string_view icon_path;
  const DesktopFolders& desktops;
};

// Replaces the .url by a link to steam.exe with the mascot icon: the link is kept in the
// originals folder first (where a restore finds its bytes), recorded in the journal,
// created beside the .url under its own name and checked, and only then is the .url
// deleted (a read-only one has the bit cleared for that; the record holds it). A
// failure leaves the .url in place and the journal saying how far the conversion got;
// it says whether anything on the desktop changed.
// `save` saves the journal holding `record` as it now stands.
WriteResult<void> convert_steam_shortcut(const System& sys, const SteamEntry& entry, Record& record,
                                         const std::function<Status()>& save);

}  // namespace mossglow
