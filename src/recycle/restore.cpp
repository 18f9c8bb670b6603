#include "recycle/restore.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/registry.hpp"
#include "recycle/icon_values.hpp"
#include "recycle/journal.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view not_an_icon_value = "不是回收站图标的设置，已保留记录";
constexpr std::string_view value_removed = "设置已被删除";
constexpr std::string_view value_changed = "设置已被更改";
constexpr std::string_view kind_unwritable = "原设置的类型无法写回";

// What one record did to the registry.
enum class Outcome { untouched, written };

// Puts one value back when the registry proves it still holds what the apply wrote;
// succeeds when the value is as it was before the apply, or says why it is kept.
Result<Outcome> restore_value(const System& sys, const RegistryKey& key, const Value& record) {
  if (std::ranges::find(recycle_icon_values, record.name) == recycle_icon_values.end()) {
    return std::unexpected(std::string(not_an_icon_value));
  }
  auto live = read_value_state(sys, key, record.name);
  if (!live) return std::unexpected(live.error());
  if (!*live) {
    if (record.original) return std::unexpected(std::string(value_removed));
    return Outcome::untouched;
  }
  // Checked first: a value that is already back (or never changed) needs no write.
  if (record.original && **live == *record.original) return Outcome::untouched;
  // Anything else the user set by hand is theirs to keep.
  if (**live != record.replacement) return std::unexpected(std::string(value_changed));
  if (!record.original) {
    auto deleted = sys.registry.delete_value(key, record.name);
    if (!deleted && !is_not_found_code(deleted.error())) {
      return sys.failure(deleted.error());
    }
    return Outcome::written;
  }
  // Only a type the capture could have read is written back.
  if (record.original->kind > reg_qword) return std::unexpected(std::string(kind_unwritable));
  auto written =
      sys.registry.set_value(key, record.name, record.original->kind, record.original->bytes);
  if (!written) return sys.failure(written.error());
  return Outcome::written;
}

std::string value_label(std::string_view name) {
  return name.empty() ? std::string("（默认）") : std::string(name);
}

}  // namespace

Result<Section> restore_recycle_icon(const System& sys, std::string_view data_directory) {
  auto journal = load_recycle_journal(sys, data_directory);
  if (!journal) return std::unexpected(std::move(journal.error()));
  if (!*journal) return Section{std::string("回收站没有待还原的设置。"), false};

  auto key =
      sys.registry.open_key(RegistryRoot::current_user, recycle_icon_subkey, key_read | key_write);
  if (!key) return sys.failure(key.error());

  std::uint32_t restored = 0;
  bool wrote = false;
  std::vector<Value> kept;
  std::vector<std::string> failure_lines;
  for (const Value& record : **journal) {
    if (auto done = restore_value(sys, *key, record); done) {
      ++restored;
      wrote = wrote || *done == Outcome::written;
    } else {
      kept.push_back(record);
      failure_lines.push_back(failure_line(value_label(record.name), done.error()));
    }
  }

  // Windows writes the registry lazily: the values must be on disk before the journal
  // that could put them back is rewritten or removed.
  if (wrote) {
    if (auto flushed = sys.registry.flush_key(*key); !flushed) {
      return sys.failure(flushed.error());
    }
  }
  const Status finished = kept.empty() ? delete_journal(sys, data_directory, recycle_journal)
                                       : save_recycle_journal(sys, data_directory, kept);
  if (!finished) return std::unexpected(finished.error());
  return Section{"回收站图标设置：还原 " + std::to_string(restored) + " 项，跳过 " +
                     std::to_string(kept.size()) + " 项。" + listed_failure_lines(failure_lines),
                 !kept.empty()};
}

}  // namespace mossglow
