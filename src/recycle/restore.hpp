#pragma once

#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "recycle/journal.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Puts the Recycle Bin's icon values back from recycle.json. Only the three values of
// the Recycle Bin's icon key are ever written; a record naming anything else is kept.
// The section is the summary line followed by the first few kept values with reasons.
Result<Section> restore_recycle_icon(const System& sys, std::string_view data_directory);

}  // namespace mossglow
