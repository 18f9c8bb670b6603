#pragma once

#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"
#include "state/desktop_places.hpp"

namespace mossglow {

// One converted Steam game shortcut to put back: its record, where its .url and its link
// are now (located on today's desktops) and the original's bytes, already proven by
// their hash.
struct SteamRestore {
  const Record& record;
  std::string_view url;
  std::string_view link;
  std::string_view original;
  std::string_view originals_directory;  // where the staging link of its conversion is
};

// Puts a converted Steam game shortcut back and removes the generated link, when both
// files are still the ones the apply recorded, or what a stopped write of either left.
Status restore_steam_shortcut(const System& sys, const DesktopPlaces& places,
                              const SteamRestore& steam);

}  // namespace mossglow
