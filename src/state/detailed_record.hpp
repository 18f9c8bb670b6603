#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/system.hpp"

namespace mossglow {

// Titles of the detailed record in last-operation.txt.
inline constexpr std::string_view apply_record_title = "快捷方式换肤";
inline constexpr std::string_view restore_record_title = "快捷方式还原";

// What one step of an apply or a restore reports: its text, and whether it left
// something undone that the user must look at. The flag comes from the step's counts,
// never from its text, which holds file names.
struct Section {
  std::string text;
  bool left_undone = false;
};

// Why one item was left undone: "<path>：<reason>" (full-width colon).
std::string failure_line(std::string_view path, std::string_view reason);

// A line break and the first few failure lines, one per line; empty when there are
// none. Used under a summary whose full list is not written anywhere else.
std::string listed_failure_lines(const std::vector<std::string>& failure_lines);

// Overwrites last-operation.txt in the data directory with the title and every failure
// line, and returns the text to append to a section summary: empty when there is
// nothing to point at, otherwise a line break, the first few failure lines and where
// the rest can be read. A failed write is not an error: all failure lines and the
// write error then go into the returned text instead.
std::string write_detailed_record(const System& sys, std::string_view data_directory,
                                  std::string_view title,
                                  const std::vector<std::string>& failure_lines);

}  // namespace mossglow
