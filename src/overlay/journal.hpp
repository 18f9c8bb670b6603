#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One desktop file or folder that an apply covered with a generated shortcut.
struct Overlay {
  std::string original;  // the item that is (to be) hidden
  std::string shortcut;  // the generated shell link: `original` with ".lnk" appended
  // Content hash of the shortcut right after it was saved; none while its creation
  // has not finished.
  std::optional<std::string> shortcut_hash;

  friend bool operator==(const Overlay&, const Overlay&) = default;
};

// The journal text, `shortcut_hash` written as null when none. Fails when a path is
// not valid Unicode.
Result<std::string> serialize_overlay_journal(const std::vector<Overlay>& records);
// One record's element of that text (see JournalText).
Result<std::string> overlay_journal_element(const Overlay& record);

// The records of a journal text; unknown keys are ignored, a missing or null
// `shortcut_hash` reads as none. The error is the parser's message with line and column.
Result<std::vector<Overlay>> parse_overlay_journal(std::string_view bytes);

Status save_overlay_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Overlay>& records);

// Nothing when overlay.json does not exist, its records, or the read or parse error text.
Result<std::optional<std::vector<Overlay>>> load_overlay_journal(const System& sys,
                                                                 std::string_view data_directory);

}  // namespace mossglow
