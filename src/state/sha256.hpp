#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mossglow {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The system's own SHA-256 (CNG on Windows, OpenSSL in the Linux test build). The
// providers fail only when the system is out of resources; the process then ends
// rather than let a wrong fingerprint into a journal.
Sha256Digest sha256_digest(std::string_view bytes);

}  // namespace mossglow
