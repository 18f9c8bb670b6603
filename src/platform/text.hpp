#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mossglow {

// Paths and texts are UTF-8 inside the program. Paths may hold unpaired UTF-16
// surrogates (Windows file names are not required to be valid Unicode); they are
// kept as WTF-8 (the surrogate encoded as a three-byte sequence) so that a name
// survives the round trip to UTF-16 unchanged.

// UTF-8/WTF-8 to UTF-16. Bytes that are not UTF-8/WTF-8 become U+FFFD.
std::u16string to_utf16(std::string_view text);

// UTF-16 to WTF-8: unpaired surrogates are carried over.
std::string to_wtf8(std::u16string_view text);

// UTF-16 to UTF-8: unpaired surrogates become U+FFFD.
std::string to_utf8_lossy(std::u16string_view text);

// A WTF-8 path as text for the user and for files that must be UTF-8: every unpaired
// surrogate becomes U+FFFD.
std::string path_display_text(std::string_view path);

// UTF-16 to UTF-8, or nothing when the text holds an unpaired surrogate.
std::optional<std::string> to_utf8_strict(std::u16string_view text);

// True when the bytes are well-formed UTF-8 (no surrogate code points, no overlong forms).
bool is_valid_utf8(std::string_view bytes);

// Removes Unicode White_Space from the end.
std::string trim_end_unicode(std::string_view text);

// Removes Unicode White_Space from both ends.
std::string trim_unicode(std::string_view text);

// Bytes as base64 text (RFC 4648, with padding), for binary data in a JSON text, and
// back; nothing when the text is not exactly such an encoding.
std::string base64_encode(std::string_view bytes);
std::optional<std::string> base64_decode(std::string_view text);

// ASCII-only case folding and comparison (A-Z count as a-z; nothing else is folded).
std::string ascii_lower(std::string_view text);
bool equals_ignoring_ascii_case(std::string_view a, std::string_view b);

}  // namespace mossglow
