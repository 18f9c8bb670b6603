#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "recycle/recycle_journal.hpp"

namespace mossglow {

// Puts the Recycle Bin's icon values back from recycle.json; returns its section text.
Result<std::string> restore_recycle_icon(const System& sys, std::string_view data_directory);

}  // namespace mossglow
