#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The program a registered open command starts: the quoted path at its start, or its
// first run of characters up to white space. An error text for an empty command or an
// opening quote that is never closed.
Result<std::string> command_program(std::string_view command);

// The path of steam.exe as the Steam client registered it for steam: addresses
// (HKEY_CLASSES_ROOT\steam\shell\open\command), checked to name an existing file of
// that name. Looked up afresh on every call: the user may install or move Steam.
Result<std::string> find_steam_launcher(const System& sys);

}  // namespace mossglow
