#pragma once

#include <string_view>

namespace mossglow {

// The launcher path taken apart the way Windows resolves it: a drive prefix ("D:") is
// not part of any component, and repeated or trailing separators and "." components
// (other than a leading one) name the same place as the path without them.

// The last component: "steam.exe" for D:\Steam\steam.exe, D:steam.exe and
// D:\Steam\steam.exe\. alike.
std::string_view last_component(std::string_view path);

// The path without its last component, as written up to there: D:\Steam for
// D:\Steam\steam.exe, a root keeps its separator (D:\, \), D: for D:steam.exe, and
// empty for a bare file name.
std::string_view without_last_component(std::string_view path);

}  // namespace mossglow
