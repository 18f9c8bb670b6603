// Placeholder until Steam game shortcuts are supported. This version never converts
// a shortcut, so a converted record can only come from another version; it is kept
// untouched in backup.json with a clear reason rather than guessed at.
#include "steam/steam_restore.hpp"

namespace mossglow {

Status restore_steam_shortcut(const System&, const Record&) {
  return std::unexpected(std::string("此版本尚不能还原 Steam 游戏快捷方式，已保留记录"));
}

}  // namespace mossglow
