#include "overlay/apply.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "overlay/journal.hpp"
#include "overlay/scan.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_storage.hpp"
#include "state/placement.hpp"

namespace mossglow {
namespace {

constexpr std::string_view overlay_pending = "有待还原的文件或文件夹，请先还原。";
constexpr std::string_view item_changed = "原项目状态已变化";
constexpr std::string_view name_taken = "同名快捷方式已存在";

struct OverlayRun {
  const System& sys;
  std::string_view data_directory;
  std::string icon_path;
  // Every save writes the whole list, so a record whose save failed reaches the disk
  // with the next one that succeeds.
  std::vector<Overlay> journal;
  JournalText journal_text;                 // kept in step with `journal`
  const DesktopListing* listing = nullptr;  // both desktops as the step found them
};

// One candidate on its way through a batch.
struct Item {
  std::string path;
  std::string shortcut;
  std::optional<std::size_t> record;  // its record in the journal, once appended
  bool link_made = false;             // the link waits beside the item as a temporary file
  std::optional<std::string> failure;
};

Status save(OverlayRun& run) {
  return save_journal(run.sys, run.data_directory, overlay_journal, run.journal_text.text());
}

void record_changed(OverlayRun& run, std::size_t record) {
  run.journal_text.put(record, overlay_journal_element(run.journal[record]));
}

// Checks that the link's names are free and appends the item's record (not yet saved).
Status journal_item(OverlayRun& run, Item& item) {
  // Whatever holds the name already, a dangling link included, is the user's.
  if (run.listing->contains(item.shortcut)) return std::unexpected(std::string(name_taken));
  if (auto free = require_free_temporary(*run.listing, item.shortcut); !free) return free;
  // A name the journal cannot hold fails here, alone, rather than every later save.
  if (!is_valid_utf8(item.path)) return std::unexpected(std::string(invalid_path_text));
  item.record = run.journal.size();
  run.journal.push_back(Overlay{item.path, item.shortcut, std::nullopt});
  record_changed(run, *item.record);
  return {};
}

// Makes the link beside the item as a temporary file and puts its hash into the record
// (not yet saved). The link takes its name only after that save, in one rename that
// fails if the name was taken meanwhile: a link on the desktop is always one the
// journal can prove.
Status make_link(OverlayRun& run, Item& item) {
  const System& sys = run.sys;
  const std::string temporary = placement_temporary(item.shortcut);
  const NewLink link{item.path, std::nullopt, std::nullopt, run.icon_path, 0};
  // Made in memory and written once, as a plain new file beside the item.
  auto bytes = sys.shell.new_link_bytes(link);
  if (!bytes) return std::unexpected(sys.windows_text(bytes.error()));
  if (auto written = sys.files.write_file(temporary, *bytes, /*flush=*/false); !written) {
    (void)discard_temporary(sys, item.shortcut);
    return sys.failure(written.error());
  }
  // The link's bytes reach the desktop only through put_in_place, which flushes them
  // first; until then the journalled hash names a file that is not there yet.
  auto hash = sha256_hex(*bytes);
  if (!hash) {
    (void)discard_temporary(sys, item.shortcut);
    return std::unexpected(hash.error());
  }
  run.journal[*item.record].shortcut_hash = std::move(*hash);
  record_changed(run, *item.record);
  item.link_made = true;
  return {};
}

// Puts the link in place and hides the item. Nothing is undone on failure: the journal
// says how far the item got.
Status cover(const System& sys, const Item& item) {
  if (auto placed = put_in_place(sys, item.shortcut, std::nullopt, Placement::create); !placed) {
    return placed;
  }
  auto attributes = sys.files.get_attributes(item.path);
  if (!attributes) return sys.failure(attributes.error());
  // Hidden, a system item or replaced by a link since the scan: no longer an item this
  // step covers. Its shortcut and complete record stay for restore to settle.
  if ((*attributes & overlay_excluded_attributes) != 0) {
    return std::unexpected(std::string(item_changed));
  }
  if (auto hidden = sys.files.set_attributes(item.path, *attributes | file_attribute_hidden);
      !hidden) {
    return sys.failure(hidden.error());
  }
  return {};
}

// A batch of items: their records are saved together before anything is written
// beside them, and their links' hashes together before any link appears, so that a
// restore after any failure or stop can tell how far each got.
void cover_batch(OverlayRun& run, std::vector<Item>& batch) {
  const System& sys = run.sys;
  for (Item& item : batch) {
    if (item.failure) continue;
    if (auto journalled = journal_item(run, item); !journalled) item.failure = journalled.error();
  }
  if (std::ranges::any_of(batch, [](const Item& item) { return item.record.has_value(); })) {
    if (auto saved = save(run); !saved) {
      for (Item& item : batch) {
        if (item.record && !item.failure) item.failure = saved.error();
      }
    }
  }
  for (Item& item : batch) {
    if (item.failure) continue;
    if (auto made = make_link(run, item); !made) item.failure = made.error();
  }
  if (std::ranges::any_of(batch, [](const Item& item) { return item.link_made; })) {
    if (auto saved = save(run); !saved) {
      for (Item& item : batch) {
        if (!item.link_made || item.failure) continue;
        (void)discard_temporary(sys, item.shortcut);
        item.failure = saved.error();
      }
    }
  }
  for (Item& item : batch) {
    if (item.failure) continue;
    if (auto covered = cover(sys, item); !covered) item.failure = covered.error();
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
  OverlayRun run{sys, data_directory, icon_path(data_directory), {}, {}, nullptr};
  if (auto prepared = prepare(sys, data_directory); !prepared) {
    return std::unexpected(prepared.error());
  }
  // Listed afresh: the shortcut steps have changed the desktops since the apply's scan.
  auto listing = DesktopListing::read(sys, desktops);
  if (!listing) return std::unexpected(listing.error());
  const std::vector<std::string> candidates = overlay_candidates(*listing);
  run.listing = &*listing;

  std::uint32_t applied = 0;
  std::vector<std::string> failure_lines;
  for_each_growing_batch(candidates.size(), [&](std::size_t begin, std::size_t end) {
    std::vector<Item> batch;
    for (std::size_t i = begin; i < end; ++i) {
      Item item;
      item.path = candidates[i];
      item.shortcut = item.path + ".lnk";
      batch.push_back(std::move(item));
    }
    cover_batch(run, batch);
    for (const Item& item : batch) {
      if (item.failure) {
        failure_lines.push_back(failure_line(item.path, *item.failure));
      } else {
        ++applied;
      }
    }
  });
  return Section{"普通文件和文件夹：" + std::to_string(applied) + " 个，跳过或失败 " +
                     std::to_string(failure_lines.size()) + " 个。" +
                     listed_failure_lines(failure_lines),
                 !failure_lines.empty()};
}

}  // namespace mossglow
