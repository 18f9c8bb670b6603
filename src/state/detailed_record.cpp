#include "state/detailed_record.hpp"

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/data_directory.hpp"

namespace mossglow {
namespace {

// How many failure lines a section text lists.
constexpr std::size_t listed_failures = 4;

constexpr std::string_view no_failures = "：没有失败项目。";
constexpr std::string_view record_pointer = "\n详细记录：";
constexpr std::string_view record_unwritable = "\n无法写入详细记录：";

// Appends the first `count` lines (or all, if fewer) with the separator between them.
void append_joined(std::string& out, const std::vector<std::string>& lines, std::size_t count,
                   std::string_view separator) {
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
    if (i > 0) out += separator;
    out += lines[i];
  }
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

std::string listed_failure_lines(const std::vector<std::string>& failure_lines) {
  if (failure_lines.empty()) return {};
  std::string text = "\n";
  append_joined(text, failure_lines, listed_failures, "\n");
  return text;
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

}  // namespace mossglow
