#include "platform/registry_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "platform/text.hpp"

namespace mossglow {
namespace {

HKEY root_key(RegistryRoot root) {
  return root == RegistryRoot::classes_root ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

HKEY key_of(const RegistryKey& key) { return reinterpret_cast<HKEY>(key.handle()); }

// A key path or value name as a NUL-terminated UTF-16 string.
class WideName {
 public:
  explicit WideName(std::string_view name) : text_(to_utf16(name)) {}
  const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }

 private:
  std::u16string text_;
};

std::unexpected<Win32Error> failed(LSTATUS status) {
  return std::unexpected(Win32Error{static_cast<std::uint32_t>(status)});
}

}  // namespace

OsResult<RegistryKey> Win32Registry::open_key(RegistryRoot root, std::string_view subkey,
                                              std::uint32_t access) {
  const WideName path(subkey);
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(root_key(root), path.get(), 0, access, &opened);
  if (status != ERROR_SUCCESS) return failed(status);
  return RegistryKey(*this, reinterpret_cast<std::uintptr_t>(opened));
}

OsResult<RegistryKey> Win32Registry::create_key(RegistryRoot root, std::string_view subkey,
                                                std::uint32_t access) {
  const WideName path(subkey);
  HKEY opened = nullptr;
  DWORD disposition = 0;
  const LSTATUS status =
      RegCreateKeyExW(root_key(root), path.get(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                      nullptr, &opened, &disposition);
  if (status != ERROR_SUCCESS) return failed(status);
  return RegistryKey(*this, reinterpret_cast<std::uintptr_t>(opened));
}

ValueQuery Win32Registry::query_value(const RegistryKey& key, std::string_view name,
                                      std::span<std::uint8_t> buffer) {
  const WideName value(name);
  // A null data pointer would turn the call into a size query that succeeds; an empty
  // buffer must still answer ERROR_MORE_DATA for a value with data.
  BYTE spare = 0;
  BYTE* data = buffer.empty() ? &spare : buffer.data();
  DWORD type = 0;
  DWORD size =
      static_cast<DWORD>(std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
  const LSTATUS status = RegQueryValueExW(key_of(key), value.get(), nullptr, &type, data, &size);
  return ValueQuery{static_cast<std::uint32_t>(status), type, size};
}

OsResult<void> Win32Registry::set_value(const RegistryKey& key, std::string_view name,
                                        std::uint32_t type, std::span<const std::uint8_t> bytes) {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return failed(ERROR_INVALID_PARAMETER);
  const WideName value(name);
  // For a string type whose data does not end in a NUL unit, Windows looks at the unit
  // after the data and, when that is NUL, stores it too. The data is passed with two
  // non-zero bytes after it so that exactly the given bytes are stored (and nothing
  // past the caller's buffer is read).
  std::vector<std::uint8_t> padded;
  const BYTE* data = bytes.data();
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    padded.reserve(bytes.size() + 2);
    padded.assign(bytes.begin(), bytes.end());
    padded.insert(padded.end(), {0xFF, 0xFF});
    data = padded.data();
  }
  const LSTATUS status =
      RegSetValueExW(key_of(key), value.get(), 0, type, data, static_cast<DWORD>(bytes.size()));
  if (status != ERROR_SUCCESS) return failed(status);
  return {};
}

OsResult<void> Win32Registry::delete_value(const RegistryKey& key, std::string_view name) {
  const WideName value(name);
  const LSTATUS status = RegDeleteValueW(key_of(key), value.get());
  if (status != ERROR_SUCCESS) return failed(status);
  return {};
}

OsResult<void> Win32Registry::flush_key(const RegistryKey& key) {
  const LSTATUS status = RegFlushKey(key_of(key));
  if (status != ERROR_SUCCESS) return failed(status);
  return {};
}

void Win32Registry::close_key(std::uintptr_t handle) {
  RegCloseKey(reinterpret_cast<HKEY>(handle));
}

}  // namespace mossglow
