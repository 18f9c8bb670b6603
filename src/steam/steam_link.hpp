#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The arguments that make steam.exe open a game address: -- "address".
std::string steam_link_arguments(std::string_view address);

// The folder a link to the launcher starts in: the launcher's folder as written (a
// root keeps its separator), empty for a bare file name.
std::string launcher_folder(std::string_view launcher);

// Writes a shell link at `link_path` that starts the registered steam.exe with the game
// address and shows the mascot icon, then checks that the shell reads that icon back.
Status create_steam_link(const System& sys, std::string_view address, std::string_view link_path,
                         std::string_view icon_path);

}  // namespace mossglow
