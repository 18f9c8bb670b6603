#pragma once

#include <optional>
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

// Whether the bytes hash to `expected`; never when nothing is expected.
inline bool hashes_to(std::string_view bytes, const std::optional<std::string>& expected) {
  const auto hash = sha256_hex(bytes);
  return hash && expected && *hash == *expected;
}

// Passes when the file hashes to `expected`; a failed read gives its own text, any other
// content (or no recorded hash at all) gives `mismatch`.
inline Status expect_content_hash(const System& sys, std::string_view path,
                                  const std::optional<std::string>& expected,
                                  std::string_view mismatch) {
  auto hash = content_hash(sys, path);
  if (!hash) return std::unexpected(hash.error());
  if (!expected || *hash != *expected) return std::unexpected(std::string(mismatch));
  return {};
}

}  // namespace mossglow
