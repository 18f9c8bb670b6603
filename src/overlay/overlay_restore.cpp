#include "overlay/overlay_restore.hpp"

#include <cstdint>
#include <vector>

#include "overlay/overlay_journal.hpp"
#include "platform/file_system.hpp"
#include "shell/notifications.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有文件或文件夹待还原。";
constexpr std::string_view original_missing = "原项目不存在";
constexpr std::string_view shortcut_missing = "生成的快捷方式不存在";
constexpr std::string_view shortcut_changed = "快捷方式已改变或创建中断";

Status keep(std::string_view reason) { return std::unexpected(std::string(reason)); }

// Undoes one record, or says why it stays in the journal. The shortcut is deleted
// only when its content hash proves it is the link the apply created, and the item
// only ever loses the hidden bit.
Status restore_record(const System& sys, const Overlay& record) {
  if (!path_exists(sys.files, record.original)) return keep(original_missing);

  if (!path_exists(sys.files, record.shortcut)) {
    // Without its shortcut an item that is visible has nothing left to undo: either
    // the link was never made, or it was removed after the item was shown again (by
    // the user, or by a restore that stopped before it could save the journal). A
    // hidden item stays hidden and journalled: whoever removed the link may want it so.
    auto attributes = sys.files.get_attributes(record.original);
    if (!attributes) return std::unexpected(sys.os_text(attributes.error()));
    if ((*attributes & file_attribute_hidden) != 0) return keep(shortcut_missing);
    return {};
  }

  auto hash = content_hash(sys, record.shortcut);
  if (!hash) return std::unexpected(hash.error());
  if (!record.shortcut_hash || *record.shortcut_hash != *hash) return keep(shortcut_changed);

  auto attributes = sys.files.get_attributes(record.original);
  if (!attributes) return std::unexpected(sys.os_text(attributes.error()));
  if ((*attributes & file_attribute_hidden) != 0) {
    auto shown = sys.files.set_attributes(record.original, *attributes & ~file_attribute_hidden);
    if (!shown) return std::unexpected(sys.os_text(shown.error()));
  }
  if (auto deleted = sys.files.delete_file(record.shortcut); !deleted) {
    return std::unexpected(sys.os_text(deleted.error()));
  }
  notify_item_updated(sys.shell, record.original);
  notify_item_updated(sys.shell, record.shortcut);
  return {};
}

}  // namespace

Result<std::string> restore_overlay(const System& sys, std::string_view data_directory) {
  auto loaded = load_overlay_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return std::string(nothing_to_restore);

  std::uint32_t restored = 0;
  std::vector<Overlay> kept;
  for (const Overlay& record : **loaded) {
    // The reason a record stays is not shown: the report carries only the counts.
    if (restore_record(sys, record)) {
      ++restored;
    } else {
      kept.push_back(record);
    }
  }

  const Status stored = kept.empty() ? delete_journal(sys, data_directory, overlay_journal.name, overlay_journal.temporary)
                                     : save_overlay_journal(sys, data_directory, kept);
  if (!stored) return std::unexpected(stored.error());
  return "文件和文件夹已还原 " + std::to_string(restored) + " 个，跳过 " +
         std::to_string(kept.size()) + " 个。";
}

}  // namespace mossglow
