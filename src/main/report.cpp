#include "main/report.hpp"

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/data_directory.hpp"

namespace mossglow {
namespace {

// How many failure lines the section text lists when the full list is in the file.
constexpr std::size_t listed_failures = 4;

constexpr std::string_view no_failures = "：没有失败项目。";
constexpr std::string_view record_pointer = "\n详细记录：";
constexpr std::string_view record_unwritable = "\n无法写入详细记录：";
constexpr std::string_view attention_note = "\n有项目未还原，请查看失败原因并保留备份目录。";
constexpr std::string_view taskbar_hint =
    "\n若运行中的应用在任务栏仍显示Brambun，请先保存工作，再关闭并重新打开该应用。";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Appends the first `count` lines (or all, if fewer) with the separator between them.
void append_joined(std::string& out, const std::vector<std::string>& lines, std::size_t count,
                   std::string_view separator) {
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
    if (i > 0) out += separator;
    out += lines[i];
  }
}

// Each condition is what a section producer writes when nothing was kept back.
bool restore_is_complete(std::string_view shortcuts, std::string_view overlay,
                         std::string_view recycle) {
  return (contains(shortcuts, "跳过 0 个") || contains(shortcuts, "没有待还原")) &&
         (contains(overlay, "跳过 0 个") || contains(overlay, "没有文件")) &&
         !contains(recycle, "失败") &&
         (!contains(recycle, "跳过") || contains(recycle, "跳过 0 项"));
}

}  // namespace

std::string failure_line(std::string_view path, std::string_view reason) {
  // The line goes into last-operation.txt, which is UTF-8: a file name that is not
  // valid Unicode is shown with U+FFFD in place of its unpaired surrogates.
  std::string line = path_display_text(path);
  line += "：";
  line += reason;
  return line;
}

std::string write_detailed_record(const System& sys, std::string_view data_directory,
                                  std::string_view title,
                                  const std::vector<std::string>& failure_lines) {
  std::string content(title);
  if (failure_lines.empty()) {
    content += no_failures;
  } else {
    content += "\r\n";
    append_joined(content, failure_lines, failure_lines.size(), "\r\n");
  }

  const std::string path = join_path(data_directory, detailed_record_name);
  // A plain overwrite: the file only describes the last run and is never read back.
  const auto written = sys.files.write_file(path, content, false);
  if (written && failure_lines.empty()) return {};

  std::string suffix = "\n";
  if (!written) {
    // Nothing on disk to point at, so every line goes into the report itself.
    append_joined(suffix, failure_lines, failure_lines.size(), "\n");
    suffix += record_unwritable;
    suffix += sys.os_text(written.error());
  } else {
    append_joined(suffix, failure_lines, listed_failures, "\n");
    suffix += record_pointer;
    suffix += path_display_text(path);
  }
  return suffix;
}

Report compose_restore_report(std::string_view shortcuts, std::string_view overlay,
                              std::string_view recycle) {
  Report report;
  report.needs_attention = !restore_is_complete(shortcuts, overlay, recycle);
  report.text.reserve(shortcuts.size() + overlay.size() + recycle.size() + 256);
  report.text.append(shortcuts).append("\n").append(overlay).append("\n").append(recycle);
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
