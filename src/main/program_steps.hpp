#pragma once

#include "main/runner.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The runner's steps over one System: the data directory, the two desktops, the apply
// driver, the three restore steps and the shell notifications. The System must outlive
// the steps.
OperationSteps make_operation_steps(const System& sys);

}  // namespace mossglow
