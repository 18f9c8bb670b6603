#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/system.hpp"
#include "shortcuts/desktop_folders.hpp"
#include "state/backup_journal.hpp"

namespace mossglow {

// The working state of one apply's shortcut loop; every save writes the whole journal.
struct SkinRun {
  const System& sys;
  const DesktopFolders& desktops;
  std::string data_directory;
  std::string originals_directory;
  std::string icon_path;
  std::vector<Record> journal;
  std::vector<std::string> failure_lines;
  // Shortcuts re-iconed or converted in this run.
  int updated = 0;
};

// Skins the shortcut at `path` (index `index` in the shortcut list): backs it up,
// journals it ahead of the change, points its icon at the mascot and records the
// result. A failure adds one failure line to the run and leaves the rest to go on.
void skin_shortcut(SkinRun& run, const std::string& path, std::size_t index);

}  // namespace mossglow
