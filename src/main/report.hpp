#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "main/operation_outcome.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Joins the shortcut, overlay and recycle-bin sections of a restore into its report; the
// user must read it when any section kept something for a later attempt.
Report compose_restore_report(const Section& shortcuts, const Section& overlay,
                              const Section& recycle);

// The edit control shows only CR LF as a line break: CR LF and lone LF both become
// CR LF. A lone CR is left alone.
std::string to_edit_line_breaks(std::string_view text);

}  // namespace mossglow
