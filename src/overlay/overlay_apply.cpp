#include "overlay/overlay_apply.hpp"

#include <cstdint>
#include <vector>

#include "embedded_icon.hpp"
#include "overlay/overlay_journal.hpp"
#include "overlay/overlay_scan.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shell/notifications.hpp"
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
};

Status os_failure(const System& sys, Win32Error error) {
  return std::unexpected(sys.os_text(error));
}

// Makes the link beside the item, as a temporary file, and journals its hash; the
// link takes its name only afterwards, in one rename that fails if the name was
// taken meanwhile. So a link on the desktop is always one the journal can prove.
Status make_link(OverlayRun& run, const std::string& item, const std::string& shortcut) {
  const System& sys = run.sys;
  const std::string temporary = placement_temporary(shortcut);
  const NewLink link{item, std::nullopt, std::nullopt, run.icon_path, 0};
  if (auto made = sys.shell.create_link(temporary, link); !made) {
    (void)discard_temporary(sys, shortcut);
    return std::unexpected(sys.windows_text(made.error()));
  }
  // The link's bytes reach the desktop only through put_in_place, which flushes them
  // first; until then the journalled hash names a file that is not there yet.
  auto hash = content_hash(sys, temporary);
  if (!hash) {
    (void)discard_temporary(sys, shortcut);
    return std::unexpected(hash.error());
  }
  run.journal.back().shortcut_hash = std::move(*hash);
  if (auto saved = save_overlay_journal(sys, run.data_directory, run.journal); !saved) {
    (void)discard_temporary(sys, shortcut);
    return saved;
  }
  return put_in_place(sys, shortcut, std::nullopt, Placement::create);
}

// Covers one item: its record is saved before anything is written beside it, and the
// link's hash before the link appears, so that a restore after any failure or crash
// can tell what happened. The error is the item's reason; nothing is undone.
Status cover_item(OverlayRun& run, const std::string& item, const std::string& shortcut) {
  const System& sys = run.sys;
  // Whatever holds the name already, a dangling link included, is the user's.
  auto taken = entry_exists(sys.files, shortcut);
  if (!taken) return os_failure(sys, taken.error());
  if (*taken) return std::unexpected(std::string(name_taken));
  if (auto free = require_free_temporary(sys, shortcut); !free) return free;
  // A name the journal cannot hold fails here, alone, rather than every later save.
  if (!is_valid_utf8(item)) return std::unexpected(std::string(invalid_path_text));

  run.journal.push_back(Overlay{item, shortcut, std::nullopt});
  if (auto saved = save_overlay_journal(sys, run.data_directory, run.journal); !saved) {
    return saved;
  }
  if (auto made = make_link(run, item, shortcut); !made) return made;

  auto attributes = sys.files.get_attributes(item);
  if (!attributes) return os_failure(sys, attributes.error());
  // Hidden, a system item or replaced by a link since the scan: no longer an item this
  // step covers. Its shortcut and complete record stay for restore to settle.
  if ((*attributes & overlay_excluded_attributes) != 0) {
    return std::unexpected(std::string(item_changed));
  }
  if (auto hidden = sys.files.set_attributes(item, *attributes | file_attribute_hidden); !hidden) {
    return os_failure(sys, hidden.error());
  }
  notify_item_updated(sys.shell, item);
  notify_item_updated(sys.shell, shortcut);
  return {};
}

// The data directory and the icon the links point to; an icon already there is kept.
Status prepare(const System& sys, std::string_view data_directory, const std::string& icon_path) {
  if (auto made = sys.files.create_directories(data_directory); !made) {
    return os_failure(sys, made.error());
  }
  if (path_exists(sys.files, icon_path)) return {};
  if (auto written = sys.files.write_file(icon_path, embedded_icon_bytes(), false); !written) {
    return os_failure(sys, written.error());
  }
  return {};
}

}  // namespace

Result<Section> apply_overlay(const System& sys, const DesktopFolders& desktops,
                              std::string_view data_directory) {
  auto pending =
      journal_pending(sys, data_directory, overlay_journal.name, overlay_journal.temporary);
  if (!pending) return std::unexpected(pending.error());
  if (*pending) return std::unexpected(std::string(overlay_pending));
  OverlayRun run{sys, data_directory, icon_path(data_directory), {}};
  if (auto prepared = prepare(sys, data_directory, run.icon_path); !prepared) {
    return std::unexpected(prepared.error());
  }
  auto candidates = scan_overlay_candidates(sys, desktops);
  if (!candidates) return std::unexpected(candidates.error());

  std::uint32_t applied = 0;
  std::vector<std::string> failure_lines;
  for (const OverlayCandidate& candidate : *candidates) {
    const Status covered = candidate.unreadable
                               ? Status{std::unexpect, *candidate.unreadable}
                               : cover_item(run, candidate.path, candidate.path + ".lnk");
    if (covered) {
      ++applied;
    } else {
      failure_lines.push_back(failure_line(candidate.path, covered.error()));
    }
  }
  return Section{"普通文件和文件夹：" + std::to_string(applied) + " 个，跳过或失败 " +
                     std::to_string(failure_lines.size()) + " 个。" +
                     listed_failure_lines(failure_lines),
                 !failure_lines.empty()};
}

}  // namespace mossglow
