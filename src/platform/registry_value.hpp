#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.hpp"
#include "platform/result.hpp"

namespace mossglow {

// One registry value exactly as stored: its type code and every data byte, including
// the terminating NUL units of a string.
struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// The buffer the first query is made with; larger values are read again.
inline constexpr std::size_t registry_read_start_size = 2048;

// Reads a value of an open key (the empty name is the key's default value), whatever
// its size: it starts with a 2048-byte buffer and, while Windows answers
// ERROR_MORE_DATA, queries again with a buffer at least as large as the size Windows
// reported. The result is the type and exactly the bytes Windows reported.
//
// Errors are the Win32 codes of the query (2 when the value does not exist), and 222
// (ERROR_BAD_FILE_TYPE) for a type code above REG_QWORD (11): such a value is not
// one the program understands and must not be taken for data it can write back.
OsResult<RegistryValue> read_registry_value(Registry& registry, const RegistryKey& key,
                                            std::string_view name);

// The text of a string value (REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ; any other type
// gives error 222): the bytes as UTF-16LE units (a last odd byte ignored), unpaired
// surrogates turned into U+FFFD, every NUL at the end removed. In a REG_MULTI_SZ value
// the NULs between its strings become LF; in the other two types inner NULs stay.
// Environment references of REG_EXPAND_SZ are not expanded.
OsResult<std::string> registry_text(const RegistryValue& value);

}  // namespace mossglow
