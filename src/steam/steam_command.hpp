#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"

namespace mossglow {

// The program a registered open command starts: the quoted path at its start, or its
// first run of characters up to white space. An error text for an empty command or an
// opening quote that is never closed.
Result<std::string> command_program(std::string_view command);

}  // namespace mossglow
