#include "steam/copy_exclusive.hpp"

namespace mossglow {

Status copy_file_exclusive(const System& sys, std::string_view from, std::string_view to) {
  auto bytes = sys.files.read_file(from);
  if (!bytes) return std::unexpected(sys.os_text(bytes.error()));
  if (auto written = sys.files.create_new_file(to, *bytes, /*flush=*/true); !written) {
    return std::unexpected(sys.os_text(written.error()));
  }
  return {};
}

}  // namespace mossglow
