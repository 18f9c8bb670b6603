#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/desktop_listing.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Items with any of these bits are never covered: hidden and system items are the
// user's or Windows' own business, and a link or junction is judged by itself, never
// by where it leads (covering a junction's target would hide what is not on the desktop).
inline constexpr std::uint32_t overlay_excluded_attributes =
    file_attribute_hidden | file_attribute_system | file_attribute_reparse_point;

// The plain files and folders of both desktops that get an overlay shortcut, in
// desktop order and then listing order, each judged by its own attributes. Hidden and
// system items, links and junctions, .lnk and .url files, and the program's own
// temporary files are left out without being counted.
std::vector<std::string> overlay_candidates(const DesktopListing& listing);

}  // namespace mossglow
