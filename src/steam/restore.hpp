#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/places.hpp"
#include "desktop/writes.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"

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

// What putting one conversion back comes to, once both files are looked at.
struct SteamPlan {
  enum class Url {
    missing,    // deleted by the apply: to be created again
    cut_short,  // a put-back that stopped: to be finished
    whole,      // never deleted, or put back whole: to be settled
  } url = Url::missing;
  std::uint32_t url_attributes = 0;  // as listed, when there is one
  std::string url_bytes;             // as read, when there is one
  std::uint32_t wanted = 0;          // what the .url is to end with
  bool link = false;                 // the generated link is there, proven the apply's

  // Whether finishing writes the .url's bytes, which a stop can cut short.
  bool writes() const { return url != Url::whole; }
};

// Looks at a converted Steam game shortcut: both files must still be the ones the apply
// recorded, or what a stopped write of either left (for a complete record, only the
// apply's exact link and nothing but the original at the .url's place), or the reason
// to keep the record is given. Nothing is written.
Result<SteamPlan> examine_steam_shortcut(const System& sys, const DesktopPlaces& places,
                                         const SteamRestore& steam);

// Puts the .url back as the plan says and removes the generated link. The .url is proven
// by its hash before the link goes. The failure says whether the .url was written to.
WriteResult<void> finish_steam_shortcut(const System& sys, const SteamRestore& steam,
                                        const SteamPlan& plan);

}  // namespace mossglow
