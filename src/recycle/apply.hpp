#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Points the Recycle Bin's three icon values at the mascot icon; returns its section text.
Result<std::string> apply_recycle_icon(const System& sys, std::string_view data_directory);

}  // namespace mossglow
