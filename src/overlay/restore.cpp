#include "overlay/restore.hpp"

#include <cstdint>
#include <vector>

#include "overlay/journal.hpp"
#include "platform/file_system.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"
#include "state/placement.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有文件或文件夹待还原。";
constexpr std::string_view original_missing = "原项目不存在";
constexpr std::string_view shortcut_missing = "生成的快捷方式不存在";
constexpr std::string_view shortcut_changed = "快捷方式已改变或创建中断";
constexpr std::string_view not_on_desktop = "记录的项目不在桌面上，已保留记录";
constexpr std::string_view shortcut_elsewhere = "记录的快捷方式不在项目旁边，已保留记录";

Status keep(std::string_view reason) { return std::unexpected(std::string(reason)); }

// Undoes one record, or says why it stays in the journal. The shortcut is deleted
// only when its content hash proves it is the link the apply created, and the item
// only ever loses the hidden bit. A failure to look at either is a reason to keep the
// record, never a sign that there is nothing left to undo.
Status restore_record(const System& sys, const DesktopFolders& desktops,
                      const std::optional<DesktopListing>& listing, const Overlay& record) {
  if (!is_on_a_desktop(record.original, desktops)) return keep(not_on_desktop);
  if (record.shortcut != record.original + ".lnk") return keep(shortcut_elsewhere);
  // A leftover of an apply that stopped while writing the link.
  if (auto cleared = discard_listed_temporary(sys, listing, record.shortcut); !cleared) {
    return cleared;
  }

  auto attributes = sys.files.get_attributes(record.original);
  if (!attributes && is_not_found(attributes.error())) return keep(original_missing);
  if (!attributes) return sys.failure(attributes.error());

  // The link's bytes are read whole anyway: reading them is also the existence test.
  // A link that cannot be read for any other reason is no sign that it is gone.
  auto bytes = sys.files.read_file(record.shortcut);
  if (!bytes && is_not_found(bytes.error())) {
    // Without its shortcut an item that is visible has nothing left to undo: either
    // the link was never put in place, or it was removed after the item was shown
    // again (by the user, or by a restore that stopped before it could save the
    // journal). A hidden item stays hidden and journalled: whoever removed the link
    // may want it so.
    if ((*attributes & file_attribute_hidden) != 0) return keep(shortcut_missing);
    return {};
  }
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  auto hash = sha256_hex(*bytes);
  if (!hash) return std::unexpected(hash.error());
  if (!record.shortcut_hash || *record.shortcut_hash != *hash) return keep(shortcut_changed);

  if ((*attributes & file_attribute_hidden) != 0) {
    auto shown = sys.files.set_attributes(record.original, *attributes & ~file_attribute_hidden);
    if (!shown) return sys.failure(shown.error());
  }
  if (auto deleted = sys.files.delete_file(record.shortcut); !deleted) {
    return sys.failure(deleted.error());
  }
  return {};
}

}  // namespace

Result<Section> restore_overlay(const System& sys, const DesktopFolders& desktops,
                                std::string_view data_directory) {
  auto loaded = load_overlay_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return Section{std::string(nothing_to_restore), false};

  // One listing tells which records left a temporary file beside their link.
  const auto listing = DesktopListing::read(sys, desktops);
  const std::optional<DesktopListing> leftovers = listing ? std::optional(*listing) : std::nullopt;
  std::uint32_t restored = 0;
  std::vector<Overlay> kept;
  std::vector<std::string> failure_lines;
  for (const Overlay& record : **loaded) {
    if (auto done = restore_record(sys, desktops, leftovers, record); done) {
      ++restored;
    } else {
      kept.push_back(record);
      failure_lines.push_back(failure_line(record.original, done.error()));
    }
  }

  const Status stored = kept.empty() ? delete_journal(sys, data_directory, overlay_journal)
                                     : save_overlay_journal(sys, data_directory, kept);
  if (!stored) return std::unexpected(stored.error());
  return Section{"文件和文件夹已还原 " + std::to_string(restored) + " 个，跳过 " +
                     std::to_string(kept.size()) + " 个。" + listed_failure_lines(failure_lines),
                 !kept.empty()};
}

}  // namespace mossglow
