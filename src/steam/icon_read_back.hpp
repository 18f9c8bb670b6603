#pragma once

#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Asks the shell which icon the link at `link_path` shows and accepts it only when that
// is exactly the mascot icon file with index 0: a link the shell cannot read or shows
// with another icon must not replace the user's shortcut.
Status verify_icon_read_back(const System& sys, std::string_view link_path,
                             std::string_view expected_icon_path);

}  // namespace mossglow
