#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path.hpp"

namespace mossglow {

// The desktop a user sees: their own desktop folder first, the public desktop second.
// Every consumer keeps this order.
using DesktopFolders = std::array<std::string, 2>;

// The desktop folders to walk: both, or the first alone when both resolve to the same
// folder (as they can on a redirected profile); a folder walked twice would list
// every item twice.
inline std::vector<std::string_view> distinct_desktops(const DesktopFolders& desktops) {
  if (same_place(desktops[0], desktops[1])) return {desktops[0]};
  return {desktops[0], desktops[1]};
}

// Whether a path a journal names is an entry directly on one of the desktops, as they
// resolve now: the only places a restore puts back, changes or deletes anything.
inline bool is_on_a_desktop(std::string_view path, const DesktopFolders& desktops) {
  return is_direct_child(path, desktops[0]) || is_direct_child(path, desktops[1]);
}

}  // namespace mossglow
