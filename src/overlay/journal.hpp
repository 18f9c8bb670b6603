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
  // Content hash of the shortcut's bytes, known before it is created; none when the
  // name was found taken by someone else's file.
  std::optional<std::string> shortcut_hash;
  // The shortcut's bytes (base64), kept before it is created: what a file cut short at
  // its name is proven against. An earlier version kept none.
  std::optional<std::string> shortcut_bytes{};
  // The shortcut is created and flushed (a later save says so): while its item is
  // hidden, a restore takes nothing but exactly those bytes for the program's own.
  bool complete = false;

  friend bool operator==(const Overlay&, const Overlay&) = default;
};

// The journal text, `shortcut_hash` written as null when none, `shortcut_bytes` left out
// when none, `complete` only when set. Fails when a path is not valid Unicode.
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
