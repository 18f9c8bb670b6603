#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "main/operation_outcome.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Titles of the detailed record in last-operation.txt.
inline constexpr std::string_view apply_record_title = "快捷方式换肤";
inline constexpr std::string_view restore_record_title = "快捷方式还原";


// Why one item was left undone: "<path>：<reason>" (full-width colon).
std::string failure_line(std::string_view path, std::string_view reason);

// Overwrites last-operation.txt in the data directory with the title and every failure
// line, and returns the text to append to a section summary: empty when there is
// nothing to point at, otherwise a line break, the first few failure lines and where
// the rest can be read. A failed write is not an error: all failure lines and the
// write error then go into the returned text instead.
std::string write_detailed_record(const System& sys, std::string_view data_directory,
                                  std::string_view title,
                                  const std::vector<std::string>& failure_lines);

// Joins the shortcut, overlay and recycle-bin sections of a restore into its report and
// decides whether the user must read it (something was kept for a later attempt).
Report compose_restore_report(std::string_view shortcuts, std::string_view overlay,
                              std::string_view recycle);

// The edit control shows only CR LF as a line break: CR LF and lone LF both become
// CR LF. A lone CR is left alone.
std::string to_edit_line_breaks(std::string_view text);

}  // namespace mossglow
