#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The SHA-256 of a whole file as 64 lower-case hexadecimal digits, or the OS error
// text of the failed read (never a partial or default hash).
Result<std::string> content_hash(const System& sys, std::string_view path);

// The SHA-256 of the bytes as 64 lower-case hexadecimal digits.
Result<std::string> sha256_hex(std::string_view bytes);

}  // namespace mossglow
