#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "platform/result.hpp"

namespace mossglow {

// The predefined keys the program reads or writes under.
enum class RegistryRoot { current_user, classes_root };

// Access masks as Windows defines them.
inline constexpr std::uint32_t key_query_value = 0x0001;
inline constexpr std::uint32_t key_set_value = 0x0002;
inline constexpr std::uint32_t key_read = 0x20019;
inline constexpr std::uint32_t key_write = 0x20006;
inline constexpr std::uint32_t key_all_access = 0xF003F;

// Registry type codes; the data of any type is kept as raw bytes.
inline constexpr std::uint32_t reg_none = 0;
inline constexpr std::uint32_t reg_sz = 1;
inline constexpr std::uint32_t reg_expand_sz = 2;
inline constexpr std::uint32_t reg_binary = 3;
inline constexpr std::uint32_t reg_dword = 4;
inline constexpr std::uint32_t reg_multi_sz = 7;
inline constexpr std::uint32_t reg_qword = 11;

class Registry;

// An open key. Closing it is tied to its lifetime so that no path of a caller can
// leave a key open; it is closed exactly once by whichever object owns it last.
class RegistryKey {
 public:
  RegistryKey(Registry& registry, std::uintptr_t handle) : registry_(&registry), handle_(handle) {}
  RegistryKey(RegistryKey&& other) noexcept
      : registry_(std::exchange(other.registry_, nullptr)), handle_(other.handle_) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      reset();
      registry_ = std::exchange(other.registry_, nullptr);
      handle_ = other.handle_;
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { reset(); }

  std::uintptr_t handle() const { return handle_; }

 private:
  void reset();

  Registry* registry_;
  std::uintptr_t handle_;
};

// What RegQueryValueExW answered for a caller-sized buffer: code 0 with the type and
// the number of bytes written; ERROR_MORE_DATA (234) with the type and the number of
// bytes the data needs; or another error code (2 when the value does not exist).
struct ValueQuery {
  std::uint32_t code = 0;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
};

// The registry calls the program makes, one method per Win32 call, with Win32
// semantics: names compared ignoring case, the empty value name meaning the key's
// default value, Win32 error codes as the calls return them. Key paths and value
// names are UTF-8 and reach Windows as NUL-terminated UTF-16.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExW(root, subkey, options 0, access).
  virtual OsResult<RegistryKey> open_key(RegistryRoot root, std::string_view subkey,
                                         std::uint32_t access) = 0;
  // RegCreateKeyExW(root, subkey, reserved 0, no class, REG_OPTION_NON_VOLATILE, access,
  // no security attributes): opens the key, creating it and any missing parents.
  virtual OsResult<RegistryKey> create_key(RegistryRoot root, std::string_view subkey,
                                           std::uint32_t access) = 0;
  // RegQueryValueExW into `buffer`; see ValueQuery.
  virtual ValueQuery query_value(const RegistryKey& key, std::string_view name,
                                 std::span<std::uint8_t> buffer) = 0;
  // RegSetValueExW(key, name, reserved 0, type, bytes, byte count).
  virtual OsResult<void> set_value(const RegistryKey& key, std::string_view name,
                                   std::uint32_t type, std::span<const std::uint8_t> bytes) = 0;
  // RegDeleteValueW.
  virtual OsResult<void> delete_value(const RegistryKey& key, std::string_view name) = 0;
  // RegFlushKey: the key's changes are on disk when it returns. Windows writes the
  // registry lazily, so a power cut can otherwise undo a write already relied upon.
  virtual OsResult<void> flush_key(const RegistryKey& key) = 0;

 protected:
  // RegCloseKey; only RegistryKey calls it. Its result is of no use to anyone.
  virtual void close_key(std::uintptr_t handle) = 0;
  friend class RegistryKey;
};

inline void RegistryKey::reset() {
  if (registry_ != nullptr) std::exchange(registry_, nullptr)->close_key(handle_);
}

}  // namespace mossglow
