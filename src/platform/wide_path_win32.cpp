#include "platform/wide_path_win32.hpp"

#include <utility>
#include <vector>

#include "platform/text.hpp"

namespace mossglow {
namespace {

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

bool is_drive_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The components between separators, without empty ones and ".".
std::vector<std::u16string_view> components(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !is_separator(path[end])) ++end;
    const std::u16string_view part = path.substr(start, end - start);
    if (!part.empty() && part != u".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

// `root` followed by the components, ".." resolved; the first `fixed` components
// (server and share) are part of the root and never taken back.
std::u16string rebuild(std::u16string root, const std::vector<std::u16string_view>& parts,
                       std::size_t fixed, bool trailing_separator) {
  std::vector<std::u16string_view> kept;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i >= fixed && parts[i] == u"..") {
      if (kept.size() > fixed) kept.pop_back();
      continue;
    }
    kept.push_back(parts[i]);
  }
  std::u16string result = std::move(root);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += u'\\';
    result += kept[i];
  }
  if (trailing_separator && kept.size() > fixed && result.back() != u'\\') result += u'\\';
  return result;
}

}  // namespace

std::u16string extended_length_path(std::u16string_view path) {
  if (path.size() < 3) return std::u16string(path);
  const bool trailing = is_separator(path.back());
  if (is_drive_letter(path[0]) && path[1] == u':' && is_separator(path[2])) {
    std::u16string root = u"\\\\?\\";
    root += path.substr(0, 2);
    root += u'\\';
    return rebuild(std::move(root), components(path.substr(3)), 0, trailing);
  }
  if (is_separator(path[0]) && is_separator(path[1])) {
    // \\?\ and \\.\ are device paths, already past any clean-up.
    if (path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && is_separator(path[3])) {
      return std::u16string(path);
    }
    const auto parts = components(path.substr(2));
    // Without both a server and a share there is no UNC root to keep.
    if (parts.size() < 2 || parts[0] == u".." || parts[1] == u"..") return std::u16string(path);
    return rebuild(u"\\\\?\\UNC\\", parts, 2, trailing);
  }
  return std::u16string(path);
}

WidePath::WidePath(std::string_view path)
    : text_(extended_length_path(to_utf16(path))),
      valid_(path.find('\0') == std::string_view::npos) {}

}  // namespace mossglow
