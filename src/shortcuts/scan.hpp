#pragma once

#include <string>
#include <vector>

#include "desktop/listing.hpp"
#include "platform/environment.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The folder's path, or the Windows error text of SHGetKnownFolderPath.
Result<std::string> known_folder_path(const System& sys, KnownFolder folder);

// Every .lnk and .url file directly on the desktops, the user's desktop first, in
// listing order. Folders and symbolic links are left out: a link is not followed, so
// that what the program writes lands on the desktop and never on a file a link leads to.
std::vector<std::string> desktop_shortcuts(const DesktopListing& listing);

}  // namespace mossglow
