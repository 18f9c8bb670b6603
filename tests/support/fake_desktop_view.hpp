#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop_view.hpp"
#include "support/fake_file_system.hpp"

namespace mossglow::fake {

// Explorer's desktop view over the fake volume, as far as the program can observe it:
// one grid of fixed cells shared by both desktops, filled column by column from the
// top left, the number of rows given by the view's height.
//
// It shows every visible entry directly on either desktop. An entry's change shows only
// a moment after it happened, on the volume's clock (which the fake waiter moves): a new
// entry, or one shown again, then takes the first free cell; one hidden or deleted leaves
// a hole. Placing an icon snaps it to the cell its point falls in; an icon already in
// that cell, unless the same call moves it too, is shoved into the next cell, and the
// one there into the next, up to the first free cell, as icons that snap to the grid
// shove each other. With auto-arrange on, the icons stand sorted by name and placing
// changes nothing.
//
// The view starts from the entries on the disk the first time it is used or told of a
// change, unless a test arranged it first.
class FakeDesktopView final : public DesktopView {
 public:
  static constexpr int cell_width = 100;
  static constexpr int cell_height = 100;
  // How long after a change the view shows it.
  static constexpr std::chrono::milliseconds delay{50};

  explicit FakeDesktopView(FakeFileSystem& files) : files_(files) {}

  ComResult<DesktopIcons> look() override;
  ComResult<void> place(const std::vector<PlacedIcon>& icons) override;

  // The fake Windows tells the view of every change the volume makes.
  void entry_changed(std::string_view path);

  // --- test switches and inspection ---
  // From the view's nth call on (looks and placements counted together from 1), every
  // call fails with `error`: 1 is a view that is not there.
  void fail_from(int nth, HResult error) {
    fail_from_ = nth;
    error_ = error;
  }
  void set_auto_arrange(bool on) { auto_arrange_ = on; }
  // Changes are never shown from now on: a new entry never appears.
  void stop_showing_changes() { showing_changes_ = false; }
  // Another monitor arrangement or size. The icons keep their cells.
  void set_geometry(ViewGeometry geometry) { geometry_ = std::move(geometry); }
  // The user's hand-made layout to start from: these entries at their points' cells,
  // every other visible entry in the first free cells.
  void arrange(const std::vector<PlacedIcon>& icons);
  // The user drags an icon to a point.
  void drag(std::string_view path, IconPoint to);
  // Where each icon stands now, by path as created (whatever the failure switch says).
  std::map<std::string, IconPoint> layout();
  int placements() const { return placements_; }

 private:
  struct Cell {
    int column = 0;
    int row = 0;
    friend bool operator==(Cell, Cell) = default;
  };
  struct Icon {
    std::string path;
    Cell cell;
  };

  int rows() const;
  Cell cell_of(IconPoint point) const;
  Cell nth_cell(int n) const { return {n / rows(), n % rows()}; }
  int index_of(Cell cell) const { return cell.column * rows() + cell.row; }
  Cell first_free() const;
  // Sets the icon in the cell, shoving whatever stands there down the column order.
  void put(const std::string& key, Cell cell);
  bool visible_on_a_desktop(std::string_view path) const;
  // Lays out the disk's visible entries, `except` one whose change is still to show.
  void start(std::string_view except = {});
  // Shows every change whose moment has come.
  void catch_up();
  bool failing();

  FakeFileSystem& files_;
  ViewGeometry geometry_{1000, 800, {{0, 0, 1000, 800}}};
  std::map<std::string, Icon> icons_;                                       // by folded path
  std::vector<std::pair<std::chrono::milliseconds, std::string>> pending_;  // due, path
  bool started_ = false;
  bool auto_arrange_ = false;
  bool showing_changes_ = true;
  int calls_ = 0;
  int fail_from_ = 0;
  HResult error_{0};
  int placements_ = 0;
};

}  // namespace mossglow::fake
