#include "recycle/apply.hpp"

#include <vector>

#include "platform/path.hpp"
#include "platform/registry.hpp"
#include "platform/text.hpp"
#include "recycle/icon_values.hpp"
#include "recycle/journal.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

// REG_SZ data naming the mascot icon: UTF-16LE with its terminating NUL, as Windows
// itself stores string values.
Raw icon_replacement(std::string_view data_directory) {
  const std::u16string text = to_utf16(icon_path(data_directory) + ",0");
  Raw raw{reg_sz, {}};
  raw.bytes.reserve(text.size() * 2 + 2);
  for (const char16_t unit : text) {
    raw.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    raw.bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  raw.bytes.insert(raw.bytes.end(), {0, 0});
  return raw;
}

}  // namespace

Result<std::string> apply_recycle_icon(const System& sys, std::string_view data_directory) {
  auto pending = journal_pending(sys, data_directory, recycle_journal);
  if (!pending) return std::unexpected(pending.error());
  if (*pending) return std::unexpected(std::string("回收站有待还原的设置。"));
  auto key =
      sys.registry.create_key(RegistryRoot::current_user, recycle_icon_subkey, key_all_access);
  if (!key) return sys.failure(key.error());

  const Raw replacement = icon_replacement(data_directory);
  std::vector<Value> records;
  for (const std::string_view name : recycle_icon_values) {
    auto state = read_value_state(sys, *key, name);
    if (!state) return std::unexpected(std::move(state.error()));
    records.push_back(Value{std::string(name), std::move(*state), replacement});
  }

  // The previous values are on disk before the first of them is overwritten.
  if (auto saved = save_recycle_journal(sys, data_directory, records); !saved) {
    return std::unexpected(std::move(saved.error()));
  }
  for (const Value& record : records) {
    auto written = sys.registry.set_value(*key, record.name, reg_sz, record.replacement.bytes);
    if (!written) return sys.failure(written.error());
  }
  return std::string("回收站：已设置Brambun图标。");
}

}  // namespace mossglow
