#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mossglow {

// A path in the one form every wide file call gets, whatever its length: an absolute
// drive path (X:\...) or UNC path (\\server\share\...) becomes \\?\X:\... or
// \\?\UNC\server\share\... . The plain form would let Windows rewrite the name on the
// way (trailing dots and spaces dropped, CON or COM1 taken for a device) and stops at
// MAX_PATH; this one names exactly the entry a listing returned, at any length. It also
// turns off Windows' own clean-up, so that is done here first, as Windows would have:
// '/' becomes '\', repeated separators are one, "." components go and ".." takes back
// the component before it (never the drive or the share). Component text is kept
// exactly. Paths already in \\?\ or \\.\ form and relative paths stay as given.
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
