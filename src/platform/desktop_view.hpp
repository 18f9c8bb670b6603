#pragma once

#include <string>
#include <vector>

#include "platform/result.hpp"

namespace mossglow {

// A point in the desktop view's own coordinates: physical pixels of its client area,
// which spans every monitor (so a point may be negative).
struct IconPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const IconPoint&, const IconPoint&) = default;
};

// One item of the desktop view and where its icon stands. `path` is the item's parsing
// name: its full path, on the user's or on the public desktop.
struct PlacedIcon {
  std::string path;
  IconPoint at;
  friend bool operator==(const PlacedIcon&, const PlacedIcon&) = default;
};

// A rectangle in physical pixels of the virtual screen.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// What the view's coordinates mean: the size of its client area and the monitors it
// spans. A point read under one geometry means nothing under another (Explorer keeps a
// layout per monitor arrangement), so saved points are only used while it is the same.
struct ViewGeometry {
  int width = 0;
  int height = 0;
  std::vector<ScreenRect> monitors;
  friend bool operator==(const ViewGeometry&, const ViewGeometry&) = default;
};

// One look at the desktop view.
struct DesktopIcons {
  ViewGeometry geometry;
  // Explorer arranges the icons itself: their points are its choice, not the user's,
  // and placing one is undone at once.
  bool auto_arrange = false;
  // Every item the view shows, both desktops' (hidden items are not shown).
  std::vector<PlacedIcon> icons;
};

// Explorer's view of the desktop, where the user's and the public desktop's items stand
// together on one grid. A new item, and one shown again, goes to the first free cell;
// one hidden or deleted leaves a hole. So the program reads where the items it replaces
// stand, and puts what replaces them there.
//
// None of this is ever needed for the files to be right: a view that is not there or
// fails leaves the icons where Explorer puts them, and nothing else changes.
class DesktopView {
 public:
  virtual ~DesktopView() = default;

  // Where every item of the view stands now. Fails, quickly, when there is no view that
  // can place items: Explorer is not running, another shell is, or the view refuses to
  // place (Wine's desktop), so that no one waits on a view that cannot help.
  virtual ComResult<DesktopIcons> look() = 0;

  // Puts each item (matched by path, letter case ignored, among the items the view
  // shows now) at its point, all in one call: placed one at a time, icons that snap to
  // the grid shove the ones in their way. An item the view does not show is left out.
  virtual ComResult<void> place(const std::vector<PlacedIcon>& icons) = 0;
};

}  // namespace mossglow
