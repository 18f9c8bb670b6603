#include "steam/url_reader.hpp"

#include "steam/url_text.hpp"

namespace mossglow {

Result<std::optional<std::string>> read_steam_game_url(const System& sys, std::string_view path) {
  auto bytes = sys.files.read_file(path);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  auto text = decode_url_file(sys, *bytes);
  if (!text) return std::unexpected(text.error());
  return find_steam_address(*text);
}

}  // namespace mossglow
