#include <windows.h>
// bcrypt.h needs the Windows types first.
#include <bcrypt.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "state/sha256.hpp"

namespace mossglow {
namespace {

void check(NTSTATUS status) {
  if (!BCRYPT_SUCCESS(status)) std::abort();
}

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
Sha256Digest sha256_digest(std::string_view bytes) {
  HashHandles handles;
  check(BCryptOpenAlgorithmProvider(&handles.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));

  DWORD object_size = 0;
  ULONG written = 0;
  check(BCryptGetProperty(handles.algorithm, BCRYPT_OBJECT_LENGTH,
                          reinterpret_cast<PUCHAR>(&object_size), sizeof object_size, &written, 0));
  handles.object.resize(object_size);
  check(BCryptCreateHash(handles.algorithm, &handles.hash, handles.object.data(), object_size,
                         nullptr, 0, 0));

  // BCryptHashData takes a 32-bit length.
  constexpr std::size_t chunk = 1u << 30;
  for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
    const auto length = static_cast<ULONG>(std::min(chunk, bytes.size() - offset));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset));
    check(BCryptHashData(handles.hash, data, length, 0));
  }

  Sha256Digest digest{};
  check(BCryptFinishHash(handles.hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  return digest;
}

}  // namespace mossglow
