#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The bytes a shortcut holds once it shows the mascot, made from its original's bytes
// before anything is written on the desktop, so that the journal names them first. A
// shell link is loaded, given the icon location and saved again, all in memory. An
// internet shortcut gets IconFile and IconIndex from the profile writer, which works on
// files only: on a scratch copy in the data directory, never beside the shortcut.
// The same original and icon path always give the same bytes, which is what lets a
// restore make them again to recognise a write that stopped halfway.
Result<std::string> bytes_with_mascot_icon(const System& sys, std::string_view data_directory,
                                           std::string_view original, bool is_url);

}  // namespace mossglow
