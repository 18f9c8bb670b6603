#pragma once

#include <string>
#include <vector>

#include "platform/desktop_folders.hpp"
#include "platform/environment.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The folder's path, or the Windows error text of SHGetKnownFolderPath.
Result<std::string> known_folder_path(const System& sys, KnownFolder folder);

// Every .lnk and .url file directly in the user's desktop, then in the public desktop,
// in listing order; or the OS error text when a folder or an entry cannot be read.
Result<std::vector<std::string>> scan_desktop_shortcuts(const System& sys,
                                                        const DesktopFolders& desktops);

}  // namespace mossglow
