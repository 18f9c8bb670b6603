#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "shortcuts/desktop_folders.hpp"

namespace mossglow {

// Covers plain desktop files and folders with icon shortcuts; returns the summary line.
Result<std::string> apply_overlay(const System& sys, const DesktopFolders& desktops,
                                  std::string_view data_directory);

}  // namespace mossglow
