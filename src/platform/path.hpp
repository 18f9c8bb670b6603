#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mossglow {

// Windows paths as UTF-8 (WTF-8) text; both '\' and '/' separate components.

// The folder joined with one more component, with a backslash between them unless
// the folder is empty, already ends in a separator, or is a bare drive ("C:").
std::string join_path(std::string_view folder, std::string_view name);

// The last component (the text after the last separator).
std::string_view file_name(std::string_view path);

// The folder part: everything before the last separator (empty for a bare name).
std::string_view parent_path(std::string_view path);

// The text after the last dot of the file name, letter case as given. A name without
// a dot, a name whose only dot is its first character (".lnk") and ".." have none.
std::optional<std::string_view> extension(std::string_view path);

// True when the extension is exactly `wanted` (three ASCII letters, lower case),
// compared ignoring ASCII case.
bool has_extension(std::string_view path, std::string_view wanted);

// The path with its extension replaced (or added when it has none).
std::string with_extension(std::string_view path, std::string_view new_extension);

// Whether two paths name the same file the way the shell writes paths back: identical
// texts, or the same components, where '\' and '/' both separate, repeated and
// trailing separators do not count, "." components (other than a leading one) are
// dropped and a drive letter's case is ignored. Nothing else is folded: letter case
// matters and ".." is compared as written.
bool paths_equal(std::string_view a, std::string_view b);

// Whether two paths name the same place as Windows compares names: as paths_equal,
// with ASCII letters compared ignoring case in every component.
bool same_place(std::string_view a, std::string_view b);

// Whether `path` names an entry directly inside `folder`: its folder part is the same
// place as `folder` and its last component is a plain name (not empty, "." or "..",
// and without a colon, which would name a stream of a file).
bool is_direct_child(std::string_view path, std::string_view folder);

// Why a file name is not one the program may act on by name, or nothing when it is.
// The shell and every program that opens the file through the plain form of a path
// would reach another entry than the one listed: a name ending in a dot or a space is
// trimmed (notes. and notes are one name there), and a device name (CON, NUL, COM1,
// also with an extension: COM1.lnk) opens the device. A link cannot point at such an
// item, and a journal naming one is not followed. A name shaped like a short alias
// (PHOTO~1.JPG) is an ordinary name: the program goes by the long names a listing
// shows, through \\?\, and a journal's name that no listing shows is never opened.
std::optional<std::string_view> unsafe_name_reason(std::string_view name);

// A path taken apart the way Windows resolves it: a drive prefix ("D:") is
// not part of any component, and repeated or trailing separators and "." components
// (other than a leading one) name the same place as the path without them.

// The last component: "steam.exe" for D:\Steam\steam.exe, D:steam.exe and
// D:\Steam\steam.exe\. alike.
std::string_view last_component(std::string_view path);

// The path without its last component, as written up to there: D:\Steam for
// D:\Steam\steam.exe, a root keeps its separator (D:\, \), D: for D:steam.exe, and
// empty for a bare file name.
std::string_view without_last_component(std::string_view path);

}  // namespace mossglow
