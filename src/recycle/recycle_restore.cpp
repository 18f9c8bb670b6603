#include "recycle/recycle_restore.hpp"

#include <cstdint>
#include <vector>

#include "platform/registry.hpp"
#include "recycle/recycle_icon_key.hpp"
#include "recycle/recycle_journal.hpp"
#include "recycle/value_state.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

// Puts one value back when the registry proves it still holds what the apply wrote;
// true when the value is as it was before the apply.
bool restore_value(const System& sys, const RegistryKey& key, const Value& record) {
  auto live = read_value_state(sys, key, record.name);
  if (!live) return false;
  if (!*live) return !record.original;
  // Checked first: a value that is already back (or never changed) needs no write.
  if (record.original && **live == *record.original) return true;
  // Anything else the user set by hand is theirs to keep.
  if (**live != record.replacement) return false;
  if (!record.original) {
    auto deleted = sys.registry.delete_value(key, record.name);
    return deleted || is_not_found_code(deleted.error());
  }
  // Only a type the capture could have read is written back.
  if (record.original->kind > reg_qword) return false;
  return sys.registry.set_value(key, record.name, record.original->kind, record.original->bytes)
      .has_value();
}

}  // namespace

Result<std::string> restore_recycle_icon(const System& sys, std::string_view data_directory) {
  auto journal = load_recycle_journal(sys, data_directory);
  if (!journal) return std::unexpected(std::move(journal.error()));
  if (!*journal) return std::string("回收站没有待还原的设置。");

  auto key =
      sys.registry.open_key(RegistryRoot::current_user, recycle_icon_subkey, key_read | key_write);
  if (!key) return std::unexpected(sys.os_text(key.error()));

  std::uint32_t restored = 0;
  std::vector<Value> kept;
  for (const Value& record : **journal) {
    if (restore_value(sys, *key, record)) {
      ++restored;
    } else {
      kept.push_back(record);
    }
  }

  const Status finished = kept.empty() ? delete_journal(sys, data_directory, recycle_journal.name, recycle_journal.temporary)
                                       : save_recycle_journal(sys, data_directory, kept);
  if (!finished) return std::unexpected(finished.error());
  return "回收站图标设置：还原 " + std::to_string(restored) + " 项，跳过 " +
         std::to_string(kept.size()) + " 项。";
}

}  // namespace mossglow
