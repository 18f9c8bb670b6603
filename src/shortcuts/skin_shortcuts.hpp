#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "desktop/listing.hpp"
#include "platform/desktop_folders.hpp"
#include "platform/system.hpp"
#include "state/backup_journal.hpp"
#include "state/journal_json.hpp"
#include "state/originals.hpp"

namespace mossglow {

// The working state of one apply's shortcuts.
struct SkinRun {
  const System& sys;
  const DesktopFolders& desktops;
  const DesktopListing& listing;  // both desktops as the scan found them
  OriginalsFolder& originals;
  std::string data_directory;
  std::string icon_path;
  std::vector<Record> journal{};
  JournalText journal_text{};  // the journal's text, kept in step with `journal`
  std::vector<std::string> failure_lines{};
  // Shortcuts re-iconed or converted in this run.
  int updated = 0;
  // What the next save says of the records whose write is over.
  ChangeOutcomes outcomes{};
};

// Skins every listed shortcut (its index in the list names its backup copy): keeps a
// copy of the original, works out the shortcut's new bytes, journals both hashes and
// then rewrites the shortcut in place. Shortcuts go through in batches that double in
// size, each journalled by one save before any of its shortcuts is written (a Steam
// conversion saves once more), so the journal's bytes grow linearly with the desktop
// while a stop at any moment leaves at most one batch for a restore to settle. The next
// save marks the records whose writes finished complete and leaves out those whose
// write was refused before it began (a shortcut the program may not write, or one
// changed at the last moment); one more save after the last batch does so for it. A
// failing shortcut adds one failure line, in list order, and the rest go on.
void skin_shortcuts(SkinRun& run, const std::vector<std::string>& shortcuts);

}  // namespace mossglow
