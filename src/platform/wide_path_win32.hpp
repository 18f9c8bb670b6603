#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mossglow {

// The longest path the wide file calls take in their plain form: CreateDirectoryW
// stops twelve units short of MAX_PATH (room for an 8.3 name), the others at MAX_PATH.
// Anything longer goes in the extended-length form.
inline constexpr std::size_t longest_plain_path = 247;

// A path in the form the wide file calls take at any length. An absolute drive path
// (X:\...) or UNC path (\\server\share\...) longer than longest_plain_path becomes
// \\?\X:\... or \\?\UNC\server\share\... . That form turns off Windows' own clean-up,
// so it is done here first, as Windows would have: '/' becomes '\', repeated
// separators are one, "." components go and ".." takes back the component before it
// (never the drive or the share). Component text is kept exactly, trailing dots and
// spaces included, so a long path names exactly the entry a listing returned.
// Paths already in \\?\ or \\.\ form, relative paths and short paths stay as given.
std::u16string extended_length_path(std::u16string_view path);

// A UTF-8/WTF-8 path as a NUL-terminated UTF-16 string for the wide calls, in the form
// above. A Windows name ends at its first NUL, so a path that holds one would name
// another file: such a path is not valid and must not reach the system.
class WidePath {
 public:
  explicit WidePath(std::string_view path);
  bool valid() const { return valid_; }
  const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }

 private:
  std::u16string text_;
  bool valid_;
};

}  // namespace mossglow
