#include "recycle/icon_values.hpp"

#include "platform/registry_value.hpp"

namespace mossglow {

bool is_not_found_code(Win32Error error) {
  switch (error.code) {
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 15:  // ERROR_INVALID_DRIVE
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
      return true;
    default:
      return false;
  }
}

Result<std::optional<Raw>> read_value_state(const System& sys, const RegistryKey& key,
                                            std::string_view name) {
  auto value = read_registry_value(sys.registry, key, name);
  if (value) return std::optional<Raw>(Raw{value->type, std::move(value->bytes)});
  if (is_not_found_code(value.error())) return std::optional<Raw>{};
  return sys.failure(value.error());
}

}  // namespace mossglow
