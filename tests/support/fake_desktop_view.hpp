#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop_view.hpp"
#include "support/fake_file_system.hpp"

namespace mossglow::fake {

// Explorer's desktop view as the program observes it: one grid of fixed cells for both
// desktops' visible entries, numbered column by column from the top left. A change shows
// a moment later on the volume's clock: a new or re-shown entry takes the first free
// cell, a hidden or deleted one leaves a hole. Placing snaps an icon to its point's cell
// and shoves whatever stands there (unless the same call moves it) to the next cell, and
// so on up to a free one. With auto-arrange on, icons stand sorted by name and placing
// does nothing. It starts from the disk when first used, unless a test arranged it.
class FakeDesktopView final : public DesktopView {
 public:
  static constexpr int cell_size = 100;
  static constexpr std::chrono::milliseconds delay{50};

  explicit FakeDesktopView(FakeFileSystem& files) : files_(files) {}

  ComResult<DesktopIcons> look() override;
  ComResult<void> place(const std::vector<PlacedIcon>& icons) override;
  // The fake Windows tells the view of every change on the volume.
  void entry_changed(std::string_view path);

  // --- test switches ---
  // From the nth call from now on (looks and placements, counted from 1) every call fails.
  void fail_from(int nth, HResult error) { fail_from_ = nth, error_ = error, calls_ = 0; }
  void set_auto_arrange(bool on) { auto_arrange_ = on; }
  void stop_showing_changes() { showing_ = false; }
  void set_geometry(ViewGeometry geometry) { geometry_ = std::move(geometry); }
  // Hand-made points for these entries; the other visible entries take the free cells.
  void arrange(const std::vector<PlacedIcon>& icons);
  // Where each icon stands, by path as created, whatever the failure switch says.
  std::map<std::string, IconPoint> layout();
  int placements() const { return placements_; }

 private:
  int rows() const { return std::max(1, geometry_.height / cell_size); }
  int cell_of(IconPoint at) const {
    return std::max(0, at.x) / cell_size * rows() + std::clamp(at.y / cell_size, 0, rows() - 1);
  }
  void put(std::string key, int cell);
  void catch_up();

  FakeFileSystem& files_;
  ViewGeometry geometry_{1000, 800, {{0, 0, 1000, 800}}};
  std::map<std::string, std::pair<std::string, int>> icons_;  // folded path: path, cell
  std::vector<std::pair<std::chrono::milliseconds, std::string>> pending_;  // due, path
  bool started_ = false;
  bool auto_arrange_ = false;
  bool showing_ = true;
  int calls_ = 0;
  int fail_from_ = 0;
  HResult error_{0};
  int placements_ = 0;
};

}  // namespace mossglow::fake
