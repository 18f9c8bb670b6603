#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "operations/outcome.hpp"
#include "state/detailed_record.hpp"

namespace mossglow {

// Both reports are decided from what each step counted, never from their texts, which
// hold file names.

// Joins the shortcut, overlay and recycle-bin sections of an apply into its report; the
// user must read it when any section left something undone.
Report compose_apply_report(const Section& shortcuts, const Section& overlay,
                            const Section& recycle);

// Joins the shortcut, overlay and recycle-bin sections of a restore into its report; the
// user must read it when any section kept something for a later attempt.
Report compose_restore_report(const Section& shortcuts, const Section& overlay,
                              const Section& recycle);

}  // namespace mossglow
