#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mossglow {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The system's own SHA-256 (CNG on Windows, OpenSSL in the Linux test build), or
// nothing when the provider fails (only when the system is out of resources).
std::optional<Sha256Digest> sha256_digest(std::string_view bytes);

}  // namespace mossglow
