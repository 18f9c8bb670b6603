#include "desktop/link_proof.hpp"

#include "platform/path.hpp"

namespace mossglow {

Status expect_link_holds(const System& sys, std::string_view link_bytes, const NewLink& made) {
  auto held = sys.shell.link_from_bytes(link_bytes);
  if (!held) return std::unexpected(sys.windows_text(held.error()));
  const bool same =
      paths_equal(held->target, made.target) && held->arguments == made.arguments.value_or("") &&
      paths_equal(held->working_directory, made.working_directory.value_or("")) &&
      paths_equal(held->icon_path, made.icon_path) && held->icon_index == made.icon_index;
  if (!same) return std::unexpected(std::string(link_cannot_hold_target));
  return {};
}

}  // namespace mossglow
