#include <openssl/evp.h>

#include "state/sha256.hpp"

namespace mossglow {

std::optional<Sha256Digest> sha256_digest(std::string_view bytes) {
  Sha256Digest digest{};
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
      size != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

}  // namespace mossglow
