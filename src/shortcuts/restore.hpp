#pragma once

#include <string_view>

#include "desktop/places.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Undoes the shortcut part of an apply from backup.json, record by record, putting an
// original back only when content hashes prove it safe, and only at a place an apply
// could have written: a shortcut directly on one of the desktops as they are found now,
// from its copy in the originals folder. Returns the section, or the error text that
// ends the restore.
Result<Section> restore_shortcuts(const System& sys, const DesktopPlaces& places,
                                  std::string_view data_directory);

}  // namespace mossglow
