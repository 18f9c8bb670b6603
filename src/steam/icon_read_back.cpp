#include "steam/icon_read_back.hpp"

#include "platform/path.hpp"

namespace mossglow {

Status verify_icon_read_back(const System& sys, std::string_view link_path,
                             std::string_view expected_icon_path) {
  const auto shown = sys.shell.icon_location(link_path);
  if (shown && shown->index == 0 && paths_equal(shown->path, expected_icon_path)) return {};
  // The reason is not told: the shell gives none, and any answer but this one means
  // the link would not show the mascot.
  return std::unexpected(std::string("Windows 未能回读Brambun图标，已保留原快捷方式"));
}

}  // namespace mossglow
