#pragma once

#include <string>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The path of steam.exe as the Steam client registered it for steam: addresses
// (HKEY_CLASSES_ROOT\steam\shell\open\command), checked to name an existing file of
// that name. Looked up afresh on every call: the user may install or move Steam.
Result<std::string> find_steam_launcher(const System& sys);

}  // namespace mossglow
