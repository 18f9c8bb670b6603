#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/result.hpp"

namespace mossglow {

// What saving a journal answers when a path cannot be written as Unicode (a file
// name holding an unpaired surrogate).
inline constexpr std::string_view invalid_path_text = "path contains invalid UTF-8 characters";

// The journal file layout: the list pretty-printed with two spaces per level, "[]"
// when empty, non-ASCII text as raw UTF-8, no byte-order mark and no final line
// break. Any string that is not valid UTF-8 makes it fail with invalid_path_text
// before anything is written.
Result<std::string> dump_journal(const nlohmann::ordered_json& records);

}  // namespace mossglow
