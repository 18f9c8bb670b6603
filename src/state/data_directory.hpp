#pragma once

#include <string>
#include <string_view>

#include "platform/environment.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// %LOCALAPPDATA%\MossglowHome, looked up afresh for every operation and not
// created here. The variable's value is used as it is, even when empty (which
// gives the relative name "MossglowHome").
Result<std::string> data_directory(Environment& env);

// What the data directory holds, named in this one place.

// A journal and the temporary file it is saved through.
struct JournalFiles {
  std::string_view name;
  std::string_view temporary;
};
inline constexpr JournalFiles backup_journal{"backup.json", "backup.tmp"};
inline constexpr JournalFiles overlay_journal{"overlay.json", "overlay.tmp"};
inline constexpr JournalFiles recycle_journal{"recycle.json", "recycle.tmp"};
// In the order the apply's pending check tests them.
inline constexpr JournalFiles all_journals[] = {backup_journal, overlay_journal, recycle_journal};

inline constexpr std::string_view detailed_record_name = "last-operation.txt";

// The copies of the original shortcuts and the staging links of converted ones.
std::string originals_folder(std::string_view data_directory);
// The mascot icon every icon location the program writes names, with index 0.
std::string icon_path(std::string_view data_directory);
// Where an internet shortcut's new icon keys are written before its bytes go anywhere
// (the profile writer works on files only); nothing relies on what it holds later.
std::string url_scratch_path(std::string_view data_directory);

enum class IconWrite {
  always,          // the apply's shortcut step: the file is made or rewritten
  unless_present,  // the overlay step: a file already there is kept, whatever it holds
};
// Writes the mascot icon's bytes (the ones the program carries) to icon_path; the OS
// error text when it cannot.
Status write_icon(const System& sys, std::string_view data_directory, IconWrite when);

}  // namespace mossglow
