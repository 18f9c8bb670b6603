#pragma once

#include <string>

#include "platform/environment.hpp"
#include "platform/result.hpp"

namespace mossglow {

// %LOCALAPPDATA%\MossglowHome, looked up afresh for every operation and not
// created here. The variable's value is used as it is, even when empty (which
// gives the relative name "MossglowHome").
Result<std::string> data_directory(Environment& env);

}  // namespace mossglow
