#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mossglow::fake {

// WritePrivateProfileStringW as Wine does it, which is what the fake shell has to agree
// with: the file is parsed into sections and keys and written back whole, so line
// endings become CR LF, blank lines and the white space around names and values
// disappear, and a header keeps only its trimmed name. The key is looked up ignoring
// case in the first section of that name and replaced in place, or appended to that
// section, or to a new section at the end. An existing value equal to the new one
// leaves the file alone (nothing is returned then).
//
// A UTF-8 byte-order mark keeps the file UTF-8 and a UTF-16 one keeps it UTF-16;
// any other file is in the ANSI code page, which the fake takes byte for byte
// (Windows would write a non-ASCII value in that code page, not in UTF-8).
std::optional<std::string> write_profile_string(std::string_view file_bytes,
                                                std::string_view section, std::string_view key,
                                                std::string_view value);

}  // namespace mossglow::fake
