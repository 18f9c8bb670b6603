#include "shortcuts/icon_change.hpp"

#include "platform/path.hpp"
#include "state/data_directory.hpp"

namespace mossglow {

Result<std::string> bytes_with_mascot_icon(const System& sys, std::string_view data_directory,
                                           std::string_view original, bool is_url) {
  const std::string icon = icon_path(data_directory);
  if (!is_url) {
    auto changed = sys.shell.link_bytes_with_icon(original, icon);
    if (!changed) return std::unexpected(sys.windows_text(changed.error()));
    return std::move(*changed);
  }
  const std::string scratch = url_scratch_path(data_directory);
  if (auto written = sys.files.write_file(scratch, original, /*flush=*/false); !written) {
    return sys.failure(written.error());
  }
  if (auto changed = sys.shell.set_url_icon(scratch, icon); !changed) {
    return std::unexpected(sys.windows_text(changed.error()));
  }
  auto bytes = sys.files.read_file(scratch);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  return std::move(*bytes);
}

}  // namespace mossglow
