#include "overlay/overlay_apply.hpp"

#include <cstdint>
#include <vector>

#include "embedded_icon.hpp"
#include "overlay/overlay_journal.hpp"
#include "overlay/overlay_restore.hpp"
#include "overlay/overlay_scan.hpp"
#include "platform/path.hpp"
#include "shell/notifications.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view overlay_pending = "有待还原的文件或文件夹，请先还原。";
constexpr std::string_view item_changed = "原项目状态已变化";

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

// Covers one item: its record is saved before the shortcut exists, and the
// shortcut's hash before the item is hidden, so that a restore after any failure or
// crash can tell what happened. The error is the item's reason; nothing is undone.
Status cover_item(OverlayRun& run, const std::string& item, const std::string& shortcut) {
  const System& sys = run.sys;
  run.journal.push_back(Overlay{item, shortcut, std::nullopt});
  if (auto saved = save_overlay_journal(sys, run.data_directory, run.journal); !saved) {
    return saved;
  }

  // Reserving the name with CREATE_NEW means a file that appeared there since the
  // existence test is never overwritten by the link.
  if (auto reserved = sys.files.create_new_file(shortcut, "", false); !reserved) {
    return os_failure(sys, reserved.error());
  }
  const NewLink link{item, std::nullopt, std::nullopt, run.icon_path, 0};
  if (auto made = sys.shell.create_link(shortcut, link); !made) {
    return std::unexpected(sys.windows_text(made.error()));
  }
  // The hash about to be journalled must describe bytes that are on disk: after a
  // power cut an unflushed link could read back empty, and its item would then stay
  // hidden behind a record that no restore can ever settle.
  if (auto flushed = sys.files.flush_file(shortcut); !flushed) {
    return os_failure(sys, flushed.error());
  }
  auto hash = content_hash(sys, shortcut);
  if (!hash) return std::unexpected(hash.error());
  run.journal.back().shortcut_hash = std::move(*hash);
  if (auto saved = save_overlay_journal(sys, run.data_directory, run.journal); !saved) {
    return saved;
  }

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

Result<std::string> apply_overlay(const System& sys, const DesktopFolders& desktops,
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
  std::uint32_t skipped_or_failed = 0;
  for (const std::string& item : *candidates) {
    const std::string shortcut = item + ".lnk";
    // Whatever holds the name already is the user's; the pair is left alone.
    if (path_exists(sys.files, shortcut) || !cover_item(run, item, shortcut)) {
      ++skipped_or_failed;
    } else {
      ++applied;
    }
  }
  return "普通文件和文件夹：" + std::to_string(applied) + " 个，跳过或失败 " +
         std::to_string(skipped_or_failed) + " 个。";
}

}  // namespace mossglow
