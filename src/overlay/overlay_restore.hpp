#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

inline constexpr std::string_view overlay_journal_name = "overlay.json";

// Undoes the file and folder overlay from overlay.json; returns the section text.
Result<std::string> restore_overlay(const System& sys, std::string_view data_directory);

}  // namespace mossglow
