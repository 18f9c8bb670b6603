#include "operations/report.hpp"

namespace mossglow {
namespace {

constexpr std::string_view apply_attention_note =
    "\n部分项目未处理，请查看上方的失败原因和备份目录。";
constexpr std::string_view hidden_note = "\n原文件和文件夹已隐藏。";
constexpr std::string_view restore_attention_note =
    "\n有项目未还原，请查看失败原因并保留备份目录。";
constexpr std::string_view taskbar_hint =
    "\n若运行中的应用在任务栏仍显示Brambun，请先保存工作，再关闭并重新打开该应用。";

}  // namespace

Report compose_apply_report(const Section& shortcuts, const Section& overlay,
                            const Section& recycle) {
  Report report;
  report.needs_attention = shortcuts.left_undone || overlay.left_undone || recycle.left_undone;
  report.text = shortcuts.text + "\n" + overlay.text + "\n" + recycle.text;
  // Said of every apply, whether or not anything was hidden.
  report.text += hidden_note;
  if (report.needs_attention) report.text += apply_attention_note;
  return report;
}

Report compose_restore_report(const Section& shortcuts, const Section& overlay,
                              const Section& recycle) {
  Report report;
  report.needs_attention = shortcuts.left_undone || overlay.left_undone || recycle.left_undone;
  report.text.reserve(shortcuts.text.size() + overlay.text.size() + recycle.text.size() + 256);
  report.text.append(shortcuts.text)
      .append("\n")
      .append(overlay.text)
      .append("\n")
      .append(recycle.text);
  if (report.needs_attention) report.text += restore_attention_note;
  report.text += taskbar_hint;
  return report;
}

}  // namespace mossglow
