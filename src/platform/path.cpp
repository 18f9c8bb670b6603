#include "platform/path.hpp"

#include <algorithm>
#include <vector>

#include "platform/text.hpp"

namespace mossglow {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_bare_drive(std::string_view path) {
  return path.size() == 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::size_t drive_prefix_length(std::string_view path) {
  return path.size() >= 2 && is_bare_drive(path.substr(0, 2)) ? 2 : 0;
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

// A path taken apart for comparison: its drive letter (folded), whether it starts
// at a root separator, and its components.
struct PathParts {
  char drive = 0;
  bool rooted = false;
  std::vector<std::string_view> components;
  friend bool operator==(const PathParts&, const PathParts&) = default;
};

PathParts take_apart(std::string_view path) {
  PathParts parts;
  if (drive_prefix_length(path) != 0) {
    parts.drive = ascii_lower(path.substr(0, 1))[0];
    path.remove_prefix(2);
  }
  parts.rooted = !path.empty() && is_separator(path.front());
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !is_separator(path[end])) ++end;
    const std::string_view component = path.substr(start, end - start);
    // "." means the folder itself; only a leading one says the path is relative to
    // the current folder, and that is kept.
    const bool leading = parts.components.empty() && !parts.rooted;
    if (!component.empty() && (component != "." || leading)) parts.components.push_back(component);
    start = end + 1;
  }
  return parts;
}

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 (the superscript digits ¹²³ too), CONIN$ and
// CONOUT$, whatever the case: the part of a name before its first dot, trailing spaces
// left out, as Windows compares it.
bool is_device_name(std::string_view name) {
  std::string base = ascii_lower(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
      base == "conout$") {
    return true;
  }
  if (!base.starts_with("com") && !base.starts_with("lpt")) return false;
  const std::string_view digit = std::string_view(base).substr(3);
  return (digit.size() == 1 && is_ascii_digit(digit[0])) || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::optional<std::string_view> unsafe_name_reason(std::string_view name) {
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    return "名称以点或空格结尾，Windows 会把它当作另一个名称";
  }
  if (is_device_name(name)) return "名称是 Windows 保留的设备名";
  return std::nullopt;
}

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

bool paths_equal(std::string_view a, std::string_view b) {
  return a == b || take_apart(a) == take_apart(b);
}

bool same_place(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const PathParts left = take_apart(a);
  const PathParts right = take_apart(b);
  return left.drive == right.drive && left.rooted == right.rooted &&
         std::ranges::equal(left.components, right.components, equals_ignoring_ascii_case);
}

bool is_direct_child(std::string_view path, std::string_view folder) {
  const std::string_view name = file_name(path);
  if (name.empty() || name == "." || name == ".." || name.find(':') != std::string_view::npos) {
    return false;
  }
  // The folder part keeps its last separator, so that a root ("C:\") stays a root.
  return same_place(path.substr(0, path.size() - name.size()), folder);
}

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
