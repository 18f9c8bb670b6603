#pragma once

#include "platform/registry.hpp"

namespace mossglow {

// The registry calls over advapi32. Every failure is the code the call returned.
class Win32Registry final : public Registry {
 public:
  OsResult<RegistryKey> open_key(RegistryRoot root, std::string_view subkey,
                                 std::uint32_t access) override;
  OsResult<RegistryKey> create_key(RegistryRoot root, std::string_view subkey,
                                   std::uint32_t access) override;
  ValueQuery query_value(const RegistryKey& key, std::string_view name,
                         std::span<std::uint8_t> buffer) override;
  OsResult<void> set_value(const RegistryKey& key, std::string_view name, std::uint32_t type,
                           std::span<const std::uint8_t> bytes) override;
  OsResult<void> delete_value(const RegistryKey& key, std::string_view name) override;
  OsResult<void> flush_key(const RegistryKey& key) override;

 protected:
  void close_key(std::uintptr_t handle) override;
};

}  // namespace mossglow
