#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/icon_positions.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Icons stay where the user put them. A shortcut rewritten in place keeps its cell on
// Explorer's grid, but a link that replaces an item is a new entry, and an item shown
// again is one too: Explorer puts each in the first free cell. So the apply keeps where
// each item it may replace stands, and once its link shows, puts the link there; the
// restore notes where each link stands (the user may have moved it) and puts the item
// back there.
//
// None of it is ever in the way: with no view, a failing one, one that arranges its
// icons itself, another geometry, or entries the view does not show within about two
// seconds, the icons are left where Explorer puts them, and nothing is said. No file on
// a desktop is read or written differently for it.

// An item the apply may replace, and the link that would replace it.
struct Replacement {
  std::string item;
  std::string link;
};

// The apply, before anything changes on a desktop: where each of these items stands in
// the view now (those it shows; a hidden item has no place), saved to icon-positions.json
// for the restore. Nothing, and no file, when the view cannot help.
IconPositions keep_item_positions(const System& sys, std::string_view data_directory,
                                  const std::vector<Replacement>& replaceable);

// The apply, after its steps: every link that now stands for its item (the link shown,
// the item hidden or gone) is put where the item stood, all in one placement.
void put_links_where_items_stood(const System& sys, const IconPositions& kept);

// The restore, before any step: for each kept item the view does not show, where its
// link stands now, or where the item stood when the view does not show the link either.
// Only items and links side by side directly on one of `desktops` count. Nothing when
// icon-positions.json or the view cannot help.
IconPositions note_link_positions(const System& sys, std::string_view data_directory,
                                  const std::vector<std::string>& desktops);

// The restore, after its steps: every item shown again whose link is gone is put where
// its link stood, all in one placement.
void put_items_where_links_stood(const System& sys, const IconPositions& noted);

}  // namespace mossglow
