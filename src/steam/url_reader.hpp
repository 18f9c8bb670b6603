#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The text of an internet shortcut file as UTF-8: UTF-16 with a byte-order mark,
// UTF-8 with or without its mark, or else the system's ANSI code page (what older
// tools write). An error text for a file that cannot be decoded.
Result<std::string> decode_url_file(const System& sys, std::string_view bytes);

// The Steam game address in the text's [InternetShortcut] section: the first URL key
// of the section decides. Nothing when that value is no Steam address; an error text
// when it is one but holds characters that cannot travel as a link argument.
Result<std::optional<std::string>> find_steam_address(std::string_view text);

// Whether an internet shortcut opens a Steam game: its Steam address, nothing for any
// other shortcut, or an error text for a file that cannot be read.
Result<std::optional<std::string>> read_steam_game_url(const System& sys, std::string_view path);

}  // namespace mossglow
