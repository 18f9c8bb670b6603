#pragma once

#include <array>
#include <string_view>

namespace mossglow {

// The current user's Recycle Bin icon: the key's default value is the icon shown
// normally, "empty" and "full" the two states. Kept in this order everywhere.
inline constexpr std::string_view recycle_icon_subkey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\"
    "{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";
inline constexpr std::array<std::string_view, 3> recycle_icon_values{"", "empty", "full"};

}  // namespace mossglow
