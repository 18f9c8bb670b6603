#include <windows.h>
// bcrypt.h needs the Windows types first.
#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "state/sha256.hpp"

namespace mossglow {
namespace {

// Closes the provider and the hash object however the computation ends; the hash
// object's memory is freed only after the hash is destroyed.
struct HashHandles {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<UCHAR> object;
  ~HashHandles() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

}  // namespace

// The provider, hash object and finish calls of CNG that Windows 7 already has
// (BCryptHash and the pseudo-handles came with Windows 10).
std::optional<Sha256Digest> sha256_digest(std::string_view bytes) {
  HashHandles handles;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&handles.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return std::nullopt;

  DWORD object_size = 0;
  ULONG written = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(handles.algorithm, BCRYPT_OBJECT_LENGTH,
                                        reinterpret_cast<PUCHAR>(&object_size), sizeof object_size,
                                        &written, 0)))
    return std::nullopt;
  handles.object.resize(object_size);
  if (!BCRYPT_SUCCESS(BCryptCreateHash(handles.algorithm, &handles.hash, handles.object.data(),
                                       object_size, nullptr, 0, 0)))
    return std::nullopt;

  // BCryptHashData takes a 32-bit length.
  constexpr std::size_t chunk = 1u << 30;
  for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
    const auto length = static_cast<ULONG>(std::min(chunk, bytes.size() - offset));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset));
    if (!BCRYPT_SUCCESS(BCryptHashData(handles.hash, data, length, 0))) return std::nullopt;
  }

  Sha256Digest digest{};
  if (!BCRYPT_SUCCESS(
          BCryptFinishHash(handles.hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
    return std::nullopt;
  return digest;
}

}  // namespace mossglow
