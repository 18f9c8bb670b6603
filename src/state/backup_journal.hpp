#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One shortcut the apply changed or replaced, saved before the change is made.
struct Record {
  std::string path;           // the desktop shortcut (for a Steam conversion, the .url's place)
  std::string backup;         // the byte-exact copy of the original in the originals folder
  std::string original_hash;  // content hash of the original (and of the copy)
  // Content hash of the re-iconed shortcut; none until that change has been made.
  std::optional<std::string> applied_hash;
  // A converted Steam shortcut: the generated link that took the .url's place.
  std::optional<std::string> replacement_path;
  std::optional<std::string> replacement_hash;
  // The shortcut's attributes when they were other than the archive bit alone (a
  // read-only, hidden or system shortcut): what a rewrite or a put-back gives it again.
  std::optional<std::uint32_t> attributes;
  // The change is finished and flushed (a later save says so): from then on the file is
  // exactly what the apply wrote unless someone else changed it, so a restore takes
  // nothing but those bytes or the original for its own.
  bool complete = false;

  friend bool operator==(const Record&, const Record&) = default;
};

// The journal text: `applied_hash` written as null when none, the replacement keys and
// `attributes` left out when none, `complete` only when set. Fails when a path is not valid
// Unicode.
Result<std::string> serialize_backup_journal(const std::vector<Record>& records);
// One record's element of that text (see JournalText).
Result<std::string> backup_journal_element(const Record& record);

// The records of a journal text; unknown keys are ignored. The error is the
// parser's message with line and column.
Result<std::vector<Record>> parse_backup_journal(std::string_view bytes);

Status save_backup_journal(const System& sys, std::string_view data_directory,
                           const std::vector<Record>& records);

// Nothing when backup.json does not exist (nothing to restore), its records, or the
// read or parse error text.
Result<std::optional<std::vector<Record>>> load_backup_journal(const System& sys,
                                                               std::string_view data_directory);

}  // namespace mossglow
