#pragma once

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"
#include "state/placement.hpp"

namespace mossglow {

// Puts a converted Steam game shortcut back and removes the generated link, when both
// files are still the ones the apply recorded.
// `leftovers` are the temporary files found on the desktops, of interrupted copies.
Status restore_steam_shortcut(const System& sys, const std::optional<DesktopListing>& leftovers,
                              const Record& record);

}  // namespace mossglow
