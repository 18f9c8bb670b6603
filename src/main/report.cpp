#include "main/report.hpp"

namespace mossglow {
namespace {

constexpr std::string_view attention_note = "\n有项目未还原，请查看失败原因并保留备份目录。";
constexpr std::string_view taskbar_hint =
    "\n若运行中的应用在任务栏仍显示Brambun，请先保存工作，再关闭并重新打开该应用。";

}  // namespace

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
  if (report.needs_attention) report.text += attention_note;
  report.text += taskbar_hint;
  return report;
}

std::string to_edit_line_breaks(std::string_view text) {
  std::string converted;
  converted.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      converted += "\r\n";
      ++i;
    } else if (text[i] == '\n') {
      converted += "\r\n";
    } else {
      converted += text[i];
    }
  }
  return converted;
}

}  // namespace mossglow
