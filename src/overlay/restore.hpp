#pragma once

#include <string_view>

#include "desktop/places.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Undoes the file and folder overlay from overlay.json. Only an item directly on one
// of the desktops as they are found now, and the link beside it named after it, are
// ever touched. The section is the summary line followed by the first few kept items
// with their reasons.
Result<Section> restore_overlay(const System& sys, const DesktopPlaces& places,
                                std::string_view data_directory);

}  // namespace mossglow
