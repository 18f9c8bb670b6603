#pragma once

#include <cstdint>
#include <vector>

#include "desktop/listing.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Items with either of these bits are never covered: hidden and system items are the
// user's or Windows' own business.
inline constexpr std::uint32_t overlay_excluded_attributes =
    file_attribute_hidden | file_attribute_system;

// The plain files and folders of both desktops that get an overlay shortcut, in desktop
// order and then listing order, each as its folder's listing shows it. Hidden and
// system items, symbolic links, junctions and mount points (judged by themselves, never
// by where they lead: covering a junction's target would hide what is not on the
// desktop) and .lnk and .url files are left out without being counted. Any other
// reparse point, a cloud placeholder above all, is the item itself and is covered.
std::vector<ListedEntry> overlay_candidates(const DesktopListing& listing);

}  // namespace mossglow
