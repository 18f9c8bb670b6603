#pragma once

#include <string_view>

#include "platform/desktop_folders.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Covers plain desktop files and folders with icon shortcuts. The section is the
// summary line followed by the first few items that failed or were skipped, each with
// its reason; it is left undone when any item failed or was skipped.
Result<Section> apply_overlay(const System& sys, const DesktopFolders& desktops,
                              std::string_view data_directory);

}  // namespace mossglow
