#include "state/data_directory.hpp"

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

}  // namespace mossglow
