// Placeholder until Steam game shortcuts are supported: every internet shortcut is
// treated as an ordinary one and re-iconed in place, which is safe (it is backed up
// and journalled like any other shortcut). Listed as not built in the README.
#include "steam/url_reader.hpp"

namespace mossglow {

Result<std::optional<std::string>> read_steam_game_url(const System&, std::string_view) {
  return std::optional<std::string>{};
}

}  // namespace mossglow
