#include "state/content_hash.hpp"

#include "state/sha256.hpp"

namespace mossglow {

Result<std::string> sha256_hex(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  const auto digest = sha256_digest(bytes);
  if (!digest) return std::unexpected(std::string("系统无法计算 SHA-256 校验值"));
  std::string hex;
  hex.reserve(digest->size() * 2);
  for (const std::uint8_t byte : *digest) {
    hex += digits[byte >> 4];
    hex += digits[byte & 0xF];
  }
  return hex;
}

Result<std::string> content_hash(const System& sys, std::string_view path) {
  auto bytes = sys.files.read_file(path);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  return sha256_hex(*bytes);
}

}  // namespace mossglow
