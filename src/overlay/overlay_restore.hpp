#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {


// Undoes the file and folder overlay from overlay.json; returns the section text.
Result<std::string> restore_overlay(const System& sys, std::string_view data_directory);

}  // namespace mossglow
