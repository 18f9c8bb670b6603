#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_view.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Where the desktop's icons stood before an apply, kept in the data directory
// (icon-positions.json, a file of its own beside the journals) for the restore.
//
// It is a convenience, never a record: no journal names it, nothing the program proves
// relies on it, and it is safe to delete at any time (the icons are then left where
// Explorer puts them). A damaged, hand-edited or foreign file counts as absent.

inline constexpr std::string_view icon_positions_name = "icon-positions.json";

// An item the apply may replace (a plain file or folder covered by a link beside it, a
// Steam game's .url converted to a link), the link that replaces it, and a point: where
// the item stood before the apply, or where its link stands now.
struct KeptIcon {
  std::string item;
  std::string link;
  IconPoint at;
  friend bool operator==(const KeptIcon&, const KeptIcon&) = default;
};

// The points and the geometry they were read under: they mean nothing under another.
struct IconPositions {
  ViewGeometry geometry;
  std::vector<KeptIcon> icons;
  friend bool operator==(const IconPositions&, const IconPositions&) = default;
};

// Saves the positions, flushed; the OS error text when they cannot be written. Icons
// whose paths JSON cannot hold (an unpaired surrogate) are left out.
Status save_icon_positions(const System& sys, std::string_view data_directory,
                           const IconPositions& positions);

// What save_icon_positions wrote; nothing when the file is missing, unreadable or not
// exactly of that shape.
std::optional<IconPositions> load_icon_positions(const System& sys,
                                                 std::string_view data_directory);

// Deletes the file when it is there. One that cannot be deleted stays: the next apply
// writes it anew or tries again, and a restore uses only what matches the desktop then.
void forget_icon_positions(const System& sys, std::string_view data_directory);

}  // namespace mossglow
