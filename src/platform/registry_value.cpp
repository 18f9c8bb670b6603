#include "platform/registry_value.hpp"

#include <algorithm>
#include <limits>

#include "platform/text.hpp"

namespace mossglow {
namespace {

// The largest buffer a query can describe: its size travels as a 32-bit count.
constexpr std::size_t largest_query = std::numeric_limits<std::uint32_t>::max();

}  // namespace

OsResult<RegistryValue> read_registry_value(Registry& registry, const RegistryKey& key,
                                            std::string_view name) {
  std::vector<std::uint8_t> buffer(registry_read_start_size);
  for (;;) {
    const ValueQuery answer = registry.query_value(key, name, buffer);
    if (answer.code == error_more_data) {
      if (buffer.size() >= largest_query) return std::unexpected(Win32Error{answer.code});
      // At least what Windows asked for; doubling as well keeps a value that grows
      // between two queries from being chased one step at a time.
      const std::size_t wanted = std::max<std::size_t>(answer.size, buffer.size() * 2);
      buffer.resize(std::min(wanted, largest_query));
      continue;
    }
    if (answer.code != 0) return std::unexpected(Win32Error{answer.code});
    if (answer.type > reg_qword) return std::unexpected(Win32Error{error_bad_file_type});
    buffer.resize(std::min<std::size_t>(answer.size, buffer.size()));
    return RegistryValue{answer.type, std::move(buffer)};
  }
}

OsResult<std::string> registry_text(const RegistryValue& value) {
  if (value.type != reg_sz && value.type != reg_expand_sz && value.type != reg_multi_sz) {
    return std::unexpected(Win32Error{error_bad_file_type});
  }
  std::u16string units;
  units.reserve(value.bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(value.bytes[i] | (value.bytes[i + 1] << 8)));
  }
  while (!units.empty() && units.back() == u'\0') units.pop_back();
  if (value.type == reg_multi_sz) std::ranges::replace(units, u'\0', u'\n');
  return to_utf8_lossy(units);
}

}  // namespace mossglow
