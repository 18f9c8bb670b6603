#include "shortcuts/apply.hpp"

#include <algorithm>

#include "embedded_icon.hpp"
#include "main/report.hpp"
#include "overlay/overlay_apply.hpp"
#include "overlay/overlay_restore.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "recycle/recycle_apply.hpp"
#include "recycle/recycle_restore.hpp"
#include "shell/notifications.hpp"
#include "shortcuts/scan.hpp"
#include "shortcuts/skin_shortcut.hpp"
#include "state/backup_journal.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

constexpr std::string_view pending_restore = "已有待还原的备份，请先还原。";
constexpr std::string_view no_shortcuts = "桌面没有找到支持的快捷方式。";
constexpr std::string_view hidden_note = "\n原文件和文件夹已隐藏。";
constexpr std::string_view attention_note = "\n部分项目未处理，请查看上方的失败原因和备份目录。";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Skins every listed shortcut and returns the shortcut section, or the error that
// ends the apply (the originals directory or the icon file cannot be written).
Result<std::string> skin_shortcuts(const System& sys, const DesktopFolders& desktops,
                                   std::string_view data_directory,
                                   const std::vector<std::string>& shortcuts) {
  SkinRun run{sys,
              desktops,
              std::string(data_directory),
              originals_folder(data_directory),
              icon_path(data_directory),
              {},
              {},
              0};
  if (auto made = sys.files.create_directories(run.originals_directory); !made) {
    return std::unexpected(sys.os_text(made.error()));
  }
  if (auto written = sys.files.write_file(run.icon_path, embedded_icon_bytes(), false); !written) {
    return std::unexpected(sys.os_text(written.error()));
  }

  for (std::size_t index = 0; index < shortcuts.size(); ++index) {
    skin_shortcut(run, shortcuts[index], index);
  }

  const auto updated =
      std::ranges::count_if(run.journal,
                            [](const Record& r) { return r.applied_hash.has_value(); }) +
      run.converted;
  const std::string suffix =
      write_detailed_record(sys, data_directory, apply_record_title, run.failure_lines);
  notify_associations_changed(sys.shell);
  return "已更新快捷方式 " + std::to_string(updated) + " 个，失败 " +
         std::to_string(run.failure_lines.size()) + " 个。" + suffix + "\n备份：" +
         path_display_text(data_directory);
}

}  // namespace

OperationOutcome apply_skin(const System& sys, const DesktopFolders& desktops,
                            std::string_view data_directory) {
  for (const JournalFiles& journal : all_journals) {
    auto pending = journal_pending(sys, data_directory, journal.name, journal.temporary);
    if (!pending) return std::unexpected(pending.error());
    if (*pending) return std::unexpected(std::string(pending_restore));
  }

  auto shortcuts = scan_desktop_shortcuts(sys, desktops);
  if (!shortcuts) return std::unexpected(shortcuts.error());

  std::string shortcut_section(no_shortcuts);
  if (!shortcuts->empty()) {
    auto section = skin_shortcuts(sys, desktops, data_directory, *shortcuts);
    if (!section) return std::unexpected(section.error());
    shortcut_section = std::move(*section);
  }

  auto overlay_section = apply_overlay(sys, desktops, data_directory);
  if (!overlay_section) return std::unexpected(overlay_section.error());

  auto recycle = apply_recycle_icon(sys, data_directory);
  const std::string recycle_section =
      recycle ? std::move(*recycle) : "回收站设置失败：" + recycle.error();

  const bool needs_attention =
      (!contains(shortcut_section, "失败 0 个") && !contains(shortcut_section, "没有找到")) ||
      !contains(*overlay_section, "跳过或失败 0 个") || contains(recycle_section, "失败");

  notify_desktops_updated(sys.shell, desktops);
  notify_associations_changed(sys.shell);

  std::string text = shortcut_section + "\n" + *overlay_section + "\n" + recycle_section +
                     std::string(hidden_note);
  if (needs_attention) text += attention_note;
  return Report{std::move(text), needs_attention};
}

}  // namespace mossglow
