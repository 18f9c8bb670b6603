#include "steam/steam_link.hpp"

#include "platform/path.hpp"
#include "steam/icon_read_back.hpp"
#include "steam/steam_launcher.hpp"

namespace mossglow {

std::string steam_link_arguments(std::string_view address) {
  // "--" ends steam.exe's own options, so an address can never be taken for one.
  return "-- \"" + std::string(address) + "\"";
}

std::string launcher_folder(std::string_view launcher) {
  // A root keeps its separator: "C:" alone would mean the current folder of drive C.
  return std::string(without_last_component(launcher));
}

Status create_steam_link(const System& sys, std::string_view address, std::string_view link_path,
                         std::string_view icon_path) {
  auto launcher = find_steam_launcher(sys);
  if (!launcher) return std::unexpected(launcher.error());

  const NewLink link{*launcher, steam_link_arguments(address), launcher_folder(*launcher),
                     std::string(icon_path), 0};
  if (auto created = sys.shell.create_link(link_path, link); !created) {
    return std::unexpected(sys.windows_text(created.error()));
  }
  return verify_icon_read_back(sys, link_path, icon_path);
}

}  // namespace mossglow
