#include "steam/launcher_path.hpp"

#include "platform/path.hpp"

namespace mossglow {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::size_t drive_prefix_length(std::string_view path) {
  const bool letter =
      !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return letter && path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// Drops trailing separators and "." components; a root separator and a leading "."
// stay, since they change what the rest of the path means.
std::string_view trim_end(std::string_view path, bool rooted) {
  for (;;) {
    while (path.size() > (rooted ? 1u : 0u) && is_separator(path.back())) path.remove_suffix(1);
    const std::string_view name = file_name(path);
    if (name != "." || name.size() == path.size()) return path;
    path.remove_suffix(1);
  }
}

}  // namespace

std::string_view last_component(std::string_view path) {
  path.remove_prefix(drive_prefix_length(path));
  const bool rooted = !path.empty() && is_separator(path.front());
  return file_name(trim_end(path, rooted));
}

std::string_view without_last_component(std::string_view path) {
  const std::size_t prefix = drive_prefix_length(path);
  std::string_view rest = path.substr(prefix);
  const bool rooted = !rest.empty() && is_separator(rest.front());
  rest = trim_end(rest, rooted);
  rest.remove_suffix(file_name(rest).size());
  rest = trim_end(rest, rooted);
  return path.substr(0, prefix + rest.size());
}

}  // namespace mossglow
