#pragma once

#include "operations/outcome.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One whole restore as the restore button runs it: the data directory and both
// desktops resolved afresh, then the overlay, the Recycle Bin and the shortcuts, in that
// order, each step returning before the next starts. A failure of the overlay or
// shortcut step as a whole ends the restore with its error; the Recycle Bin's failure
// becomes part of the report. The desktops bound what any step may touch.
OperationOutcome restore(const System& sys);

}  // namespace mossglow
