#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Undoes the shortcut part of an apply from backup.json, record by record, putting an
// original back only when content hashes prove it safe. Returns the section text, or
// the error text that ends the restore.
Result<std::string> restore_shortcuts(const System& sys, std::string_view data_directory);

}  // namespace mossglow
