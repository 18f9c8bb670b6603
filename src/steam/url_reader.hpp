#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Whether an internet shortcut opens a Steam game: its Steam address, nothing for any
// other shortcut, or an error text for a file that cannot be read.
Result<std::optional<std::string>> read_steam_game_url(const System& sys, std::string_view path);

}  // namespace mossglow
