#include "overlay/apply.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "desktop/link_proof.hpp"
#include "overlay/journal.hpp"
#include "overlay/scan.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view overlay_pending = "有待还原的文件或文件夹，请先还原。";
constexpr std::string_view item_changed = "原项目状态已变化";
constexpr std::string_view name_taken = "同名快捷方式已存在";

struct OverlayRun {
  const System& sys;
  std::string_view data_directory;
  std::string icon_path;
  // Every save writes the whole list.
  std::vector<Overlay> journal{};
  JournalText journal_text{};               // kept in step with `journal`
  const DesktopListing* listing = nullptr;  // both desktops as the step found them
  // What the next save says of the records whose link creation is over.
  ChangeOutcomes outcomes{};
};

// One candidate on its way through a batch.
struct Item {
  ListedEntry entry;
  std::string shortcut;
  std::string link;                   // the link's bytes, made in memory
  std::optional<std::size_t> record;  // its record in the journal, once appended
  std::optional<std::string> failure;
};

void record_changed(OverlayRun& run, std::size_t record) {
  run.journal_text.put(record, overlay_journal_element(run.journal[record]));
}

// Every save says what has become of the links created since the one before.
Status save(OverlayRun& run) {
  run.outcomes.write_into(run.journal, run.journal_text, overlay_journal_element);
  return save_journal(run.sys, run.data_directory, overlay_journal, run.journal_text.text());
}

// Makes the item's link in memory, proves it leads to the item, and appends the item's
// record with the link's hash (not yet saved). Nothing is written on the desktop.
Status journal_item(OverlayRun& run, Item& item) {
  const System& sys = run.sys;
  // A link cannot lead to a name Windows would read as another; the journal cannot
  // hold a name that is not Unicode.
  if (auto reason = unsafe_name_reason(file_name(item.entry.path))) {
    return std::unexpected(std::string(*reason));
  }
  if (!is_valid_utf8(item.entry.path)) return std::unexpected(std::string(invalid_path_text));
  // Whatever holds the name already, a dangling link included, is the user's.
  if (run.listing->contains(item.shortcut)) return std::unexpected(std::string(name_taken));
  const NewLink link{item.entry.path, std::nullopt, std::nullopt, run.icon_path, 0};
  auto bytes = sys.shell.new_link_bytes(link);
  if (!bytes) return std::unexpected(sys.windows_text(bytes.error()));
  if (auto held = expect_link_holds(sys, *bytes, link); !held) return held;
  auto hash = sha256_hex(*bytes);
  if (!hash) return std::unexpected(hash.error());
  // The bytes go with the record, so that a link cut short by a stop is proven against
  // them: made again later, from an item whose times and attributes have moved on, they
  // would differ.
  item.record = run.journal.size();
  run.journal.push_back(
      Overlay{item.entry.path, item.shortcut, std::move(*hash), base64_encode(*bytes)});
  item.link = std::move(*bytes);
  record_changed(run, *item.record);
  return {};
}

// Creates the link beside the item and hides the item. Nothing is undone on failure:
// the journal says how far the item got.
Status cover(OverlayRun& run, Item& item) {
  const System& sys = run.sys;
  // Only where no file of the name is (CREATE_NEW), flushed before the item is hidden.
  if (auto created = sys.files.create_new_file(item.shortcut, item.link, /*flush=*/true);
      !created) {
    // A file that took the name since the listing is someone else's: the journal must
    // not name it as the link, or a restore could take it for one, so the record goes
    // at once. Otherwise a file is there only when it was created and then cut short.
    if (created.error().code == error_file_exists) {
      run.outcomes.untouched.push_back(*item.record);
      (void)save(run);
    } else if (!entry_exists(sys.files, item.shortcut).value_or(true)) {
      run.outcomes.untouched.push_back(*item.record);
    }
    return sys.failure(created.error());
  }
  run.outcomes.finished.push_back(*item.record);
  auto attributes = sys.files.get_attributes(item.entry.path);
  if (!attributes) return sys.failure(attributes.error());
  // Hidden, a system item, or a link where the listing showed none: no longer an item
  // this step covers. Its shortcut and complete record stay for restore to settle.
  const bool became_reparse = (*attributes & file_attribute_reparse_point) != 0 &&
                              (item.entry.attributes & file_attribute_reparse_point) == 0;
  if ((*attributes & overlay_excluded_attributes) != 0 || became_reparse) {
    return std::unexpected(std::string(item_changed));
  }
  if (auto hidden = sys.files.set_attributes(item.entry.path,
                                             attribute_word(*attributes | file_attribute_hidden));
      !hidden) {
    return sys.failure(hidden.error());
  }
  return {};
}

// A batch of items: their records, with their links' hashes, are saved together before
// any link is written beside them, so that a restore after any failure or stop can tell
// each link for the program's own, whole or cut short.
void cover_batch(OverlayRun& run, std::vector<Item>& batch) {
  for (Item& item : batch) {
    if (auto journalled = journal_item(run, item); !journalled) item.failure = journalled.error();
  }
  if (std::ranges::any_of(batch, [](const Item& item) { return item.record.has_value(); })) {
    if (auto saved = save(run); !saved) {
      // Not on disk: the item is left alone, and its record out of the next save.
      for (Item& item : batch) {
        if (item.record && !item.failure) {
          item.failure = saved.error();
          run.outcomes.untouched.push_back(*item.record);
        }
      }
    }
  }
  for (Item& item : batch) {
    if (item.failure) continue;
    if (auto covered = cover(run, item); !covered) item.failure = covered.error();
  }
}

// The data directory and the icon the links point to; an icon already there is kept.
Status prepare(const System& sys, std::string_view data_directory) {
  if (auto made = sys.files.create_directories(data_directory); !made) {
    return sys.failure(made.error());
  }
  return write_icon(sys, data_directory, IconWrite::unless_present);
}

}  // namespace

Result<Section> apply_overlay(const System& sys, const DesktopFolders& desktops,
                              std::string_view data_directory) {
  auto pending = journal_pending(sys, data_directory, overlay_journal);
  if (!pending) return std::unexpected(pending.error());
  if (*pending) return std::unexpected(std::string(overlay_pending));
  OverlayRun run{sys, data_directory, icon_path(data_directory)};
  if (auto prepared = prepare(sys, data_directory); !prepared) {
    return std::unexpected(prepared.error());
  }
  // Listed afresh: the shortcut steps have changed the desktops since the apply's scan.
  auto listing = DesktopListing::read(sys, desktops);
  if (!listing) return std::unexpected(listing.error());
  const std::vector<ListedEntry> candidates = overlay_candidates(*listing);
  run.listing = &*listing;

  std::uint32_t applied = 0;
  std::vector<std::string> failure_lines{};
  for_each_growing_batch(candidates.size(), [&](std::size_t begin, std::size_t end) {
    std::vector<Item> batch;
    for (std::size_t i = begin; i < end; ++i) {
      Item item;
      item.entry = candidates[i];
      item.shortcut = item.entry.path + ".lnk";
      batch.push_back(std::move(item));
    }
    cover_batch(run, batch);
    for (const Item& item : batch) {
      if (item.failure) {
        failure_lines.push_back(failure_line(item.entry.path, *item.failure));
      } else {
        ++applied;
      }
    }
  });
  // The last batch's outcome. A journal with no record left names nothing to restore; a
  // failure here leaves the records as the batch's save wrote them, which a restore
  // settles all the same.
  if (run.outcomes.pending()) {
    if (run.outcomes.leave_nothing(run.journal_text)) {
      (void)delete_journal(sys, data_directory, overlay_journal);
    } else {
      (void)save(run);
    }
  }
  return Section{"普通文件和文件夹：" + std::to_string(applied) + " 个，跳过或失败 " +
                     std::to_string(failure_lines.size()) + " 个。" +
                     listed_failure_lines(failure_lines),
                 !failure_lines.empty()};
}

}  // namespace mossglow
