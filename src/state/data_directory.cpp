#include "state/data_directory.hpp"

#include "embedded_icon.hpp"
#include "platform/file_system.hpp"
#include "platform/path.hpp"

namespace mossglow {

Result<std::string> data_directory(Environment& env) {
  const auto local_app_data = env.variable("LOCALAPPDATA");
  if (!local_app_data) return std::unexpected(std::string("找不到本地数据目录"));
  return join_path(*local_app_data, "MossglowHome");
}

std::string originals_folder(std::string_view data_directory) {
  return join_path(data_directory, "originals");
}

std::string icon_path(std::string_view data_directory) {
  return join_path(data_directory, "brambun.ico");
}

std::string url_scratch_path(std::string_view data_directory) {
  return join_path(data_directory, "scratch.url");
}

Status write_icon(const System& sys, std::string_view data_directory, IconWrite when) {
  const std::string path = icon_path(data_directory);
  if (when == IconWrite::unless_present && path_exists(sys.files, path)) return {};
  return with_os_text(sys.messages, sys.files.write_file(path, embedded_icon_bytes(), false));
}

}  // namespace mossglow
