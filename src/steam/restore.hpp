#pragma once

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"

namespace mossglow {

// Puts a converted Steam game shortcut back and removes the generated link, when both
// files are still the ones the apply recorded.
Status restore_steam_shortcut(const System& sys, const Record& record);

}  // namespace mossglow
