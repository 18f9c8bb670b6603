#pragma once

#include <string_view>

#include "operations/outcome.hpp"
#include "platform/desktop_folders.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One whole apply as the apply button runs it: resolves both desktops and the data
// directory afresh, then apply_skin.
OperationOutcome apply(const System& sys);

// The apply on given folders: refuses while a journal is pending, skins every desktop
// shortcut with write-ahead journalling, then runs the overlay and recycle-bin steps.
OperationOutcome apply_skin(const System& sys, const DesktopFolders& desktops,
                            std::string_view data_directory);

}  // namespace mossglow
