#pragma once

#include <array>
#include <string>

namespace mossglow {

// The desktop a user sees: their own desktop folder first, the public desktop second.
// Every consumer keeps this order.
using DesktopFolders = std::array<std::string, 2>;

}  // namespace mossglow
