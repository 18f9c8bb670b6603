#include "platform/path.hpp"

#include "platform/text.hpp"

namespace mossglow {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_bare_drive(std::string_view path) {
  return path.size() == 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

std::string join_path(std::string_view folder, std::string_view name) {
  std::string joined(folder);
  if (!folder.empty() && !is_separator(folder.back()) && !is_bare_drive(folder)) joined += '\\';
  joined += name;
  return joined;
}

std::string_view file_name(std::string_view path) {
  const auto last = path.find_last_of("\\/");
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::string_view parent_path(std::string_view path) {
  const auto last = path.find_last_of("\\/");
  return last == std::string_view::npos ? std::string_view{} : path.substr(0, last);
}

std::optional<std::string_view> extension(std::string_view path) {
  const std::string_view name = file_name(path);
  if (name == "..") return std::nullopt;
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  return name.substr(dot + 1);
}

bool has_extension(std::string_view path, std::string_view wanted) {
  const auto ext = extension(path);
  return ext && equals_ignoring_ascii_case(*ext, wanted);
}

std::string with_extension(std::string_view path, std::string_view new_extension) {
  const auto ext = extension(path);
  std::string result(path);
  if (ext) {
    result.resize(path.size() - ext->size());
  } else {
    result += '.';
  }
  result += new_extension;
  return result;
}

}  // namespace mossglow
