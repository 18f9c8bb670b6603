#include "overlay/restore.hpp"

#include <cstdint>
#include <vector>

#include "desktop/writes.hpp"
#include "overlay/journal.hpp"
#include "platform/file_system.hpp"
#include "platform/text.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有文件或文件夹待还原。";
constexpr std::string_view original_missing = "原项目不存在";
constexpr std::string_view shortcut_missing = "生成的快捷方式不存在";
constexpr std::string_view shortcut_changed = "快捷方式已改变或创建中断";
constexpr std::string_view not_on_desktop = "记录的项目不在桌面上，已保留记录";
constexpr std::string_view shortcut_elsewhere = "记录的快捷方式不在项目旁边，已保留记录";

Status keep(std::string_view reason) { return std::unexpected(std::string(reason)); }

// The bytes the apply gave the link, as its record holds them (checked against the
// recorded hash); a journal of an earlier version holds none, and they are made again
// from the record as it did.
std::optional<std::string> intended_link(const System& sys, std::string_view icon_path,
                                         const Overlay& record) {
  if (record.shortcut_bytes) {
    auto bytes = base64_decode(*record.shortcut_bytes);
    if (bytes && hashes_to(*bytes, record.shortcut_hash)) return bytes;
    return std::nullopt;
  }
  auto made = sys.shell.new_link_bytes(
      NewLink{record.original, std::nullopt, std::nullopt, std::string(icon_path), 0});
  if (made && hashes_to(*made, record.shortcut_hash)) return std::move(*made);
  return std::nullopt;
}

// Whether the link's bytes are the program's: the link the apply created, or what
// creating it left when the apply stopped (an empty or partly written file of its
// bytes). Once the record is complete the link was whole and flushed when its item was
// hidden, so while the item is still hidden nothing but the whole link is the
// program's; an item shown again has nothing left to undo but its link, which a stop or
// a failing disk may have cut short, and a cut-short copy of the program's own bytes is
// nobody's work worth keeping.
bool is_generated_link(const System& sys, std::string_view icon_path, const Overlay& record,
                       std::string_view bytes, bool item_hidden) {
  if (!record.shortcut_hash) return false;
  if (hashes_to(bytes, record.shortcut_hash)) return true;
  if (record.complete && item_hidden) return false;
  // Stopped before any byte: there is nothing to prove against.
  if (bytes.empty()) return true;
  const auto intended = intended_link(sys, icon_path, record);
  return intended && is_interrupted_creation(bytes, *intended);
}

// Undoes one record, or says why it stays in the journal. The shortcut is deleted
// only when its content proves it is the link the apply created, and the item only ever
// loses the hidden bit. A failure to look at either is a reason to keep the record,
// never a sign that there is nothing left to undo.
Status restore_record(const System& sys, const DesktopPlaces& places, std::string_view icon_path,
                      const Overlay& record) {
  if (record.shortcut != record.original + ".lnk") return keep(shortcut_elsewhere);
  auto original = places.locate(record.original, not_on_desktop);
  if (!original) return std::unexpected(original.error());
  // The link is found where its item is, or neither is acted on.
  auto shortcut = places.locate(record.shortcut, not_on_desktop);
  if (!shortcut) return std::unexpected(shortcut.error());
  if (*shortcut != *original + ".lnk") return keep(shortcut_elsewhere);

  const ListedEntry* item = places.entry(*original);
  if (item == nullptr) return keep(original_missing);
  const bool hidden = (item->attributes & file_attribute_hidden) != 0;
  if (places.entry(*shortcut) == nullptr) {
    // Without its shortcut an item that is visible has nothing left to undo: either
    // the link was never created, or it was removed after the item was shown again (by
    // the user, or by a restore that stopped before it could save the journal). A
    // hidden item stays hidden and journalled: whoever removed the link may want it so.
    if (hidden) return keep(shortcut_missing);
    return {};
  }
  auto bytes = sys.files.read_file(*shortcut);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  if (!is_generated_link(sys, icon_path, record, *bytes, hidden)) return keep(shortcut_changed);

  if (hidden) {
    auto shown = sys.files.set_attributes(
        *original, attribute_word(item->attributes & ~file_attribute_hidden));
    if (!shown) return sys.failure(shown.error());
  }
  if (auto deleted = sys.files.delete_file(*shortcut); !deleted) {
    return sys.failure(deleted.error());
  }
  return {};
}

}  // namespace

Result<Section> restore_overlay(const System& sys, const DesktopPlaces& places,
                                std::string_view data_directory) {
  auto loaded = load_overlay_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return Section{std::string(nothing_to_restore), false};

  const std::string icon = icon_path(data_directory);
  std::uint32_t restored = 0;
  std::vector<Overlay> kept;
  std::vector<std::string> failure_lines;
  for (const Overlay& record : **loaded) {
    if (auto done = restore_record(sys, places, icon, record); done) {
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
