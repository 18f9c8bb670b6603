#include "support/fake_desktop_view.hpp"

#include <algorithm>
#include <optional>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "support/fake_windows.hpp"

namespace mossglow::fake {

int FakeDesktopView::rows() const { return std::max(1, geometry_.height / cell_height); }

FakeDesktopView::Cell FakeDesktopView::cell_of(IconPoint point) const {
  return {std::max(0, point.x) / cell_width, std::clamp(point.y / cell_height, 0, rows() - 1)};
}

FakeDesktopView::Cell FakeDesktopView::first_free() const {
  for (int n = 0;; ++n) {
    const Cell cell = nth_cell(n);
    if (std::ranges::none_of(icons_, [&](const auto& icon) { return icon.second.cell == cell; })) {
      return cell;
    }
  }
}

void FakeDesktopView::put(const std::string& key, Cell cell) {
  std::string moving = key;
  for (;;) {
    const auto occupant = std::ranges::find_if(
        icons_, [&](const auto& icon) { return icon.first != moving && icon.second.cell == cell; });
    icons_.at(moving).cell = cell;
    if (occupant == icons_.end()) return;
    moving = occupant->first;
    cell = nth_cell(index_of(cell) + 1);
  }
}

namespace {

// 0 for an entry directly on the user's desktop, 1 on the public one, -1 elsewhere.
int desktop_of(std::string_view path) {
  static const std::string desktops[] = {FakeFileSystem::fold(user_desktop),
                                         FakeFileSystem::fold(public_desktop)};
  const std::string key = FakeFileSystem::fold(path);
  const std::string_view parent = std::string_view(key).substr(0, key.rfind('\\'));
  for (int k = 0; k < 2; ++k) {
    if (parent == desktops[k]) return k;
  }
  return -1;
}

}  // namespace

bool FakeDesktopView::visible_on_a_desktop(std::string_view path) const {
  const auto attributes = files_.attributes(path);
  return desktop_of(path) >= 0 && attributes && (*attributes & file_attribute_hidden) == 0;
}

void FakeDesktopView::start(std::string_view except) {
  if (started_) return;
  started_ = true;
  // The user's desktop first, each in creation order.
  std::map<std::pair<int, std::uint64_t>, std::string> entries;
  for (const auto& [key, node] : files_.state()) {
    const int desktop = desktop_of(node.path);
    if (desktop >= 0 && (node.attributes & file_attribute_hidden) == 0 &&
        !same_place(node.path, except)) {
      entries.emplace(std::pair(desktop, node.order), node.path);
    }
  }
  for (const auto& [order, path] : entries) {
    const std::string key = ascii_lower(path);
    if (icons_.contains(key)) continue;
    const Cell cell = first_free();
    icons_[key] = Icon{path, cell};
  }
}

void FakeDesktopView::catch_up() {
  start();
  if (!showing_changes_) return;
  std::vector<std::string> due;
  std::erase_if(pending_, [&](const auto& change) {
    if (change.first > files_.clock()) return false;
    due.push_back(change.second);
    return true;
  });
  for (const std::string& path : due) {
    const std::string key = ascii_lower(path);
    if (!visible_on_a_desktop(path)) {
      icons_.erase(key);
    } else if (!icons_.contains(key)) {
      const Cell cell = first_free();
      icons_[key] = Icon{path, cell};
    }
  }
}

void FakeDesktopView::entry_changed(std::string_view path) {
  if (desktop_of(path) < 0) return;
  start(path);
  pending_.emplace_back(files_.clock() + delay, std::string(path));
}

bool FakeDesktopView::failing() {
  ++calls_;
  return fail_from_ > 0 && calls_ >= fail_from_;
}

std::map<std::string, IconPoint> FakeDesktopView::layout() {
  catch_up();
  std::vector<const Icon*> shown;
  for (const auto& [key, icon] : icons_) shown.push_back(&icon);
  if (auto_arrange_) {
    std::ranges::stable_sort(shown, {},
                             [](const Icon* icon) { return ascii_lower(file_name(icon->path)); });
  }
  std::map<std::string, IconPoint> points;
  for (std::size_t n = 0; n < shown.size(); ++n) {
    const Cell cell = auto_arrange_ ? nth_cell(static_cast<int>(n)) : shown[n]->cell;
    points[shown[n]->path] = IconPoint{cell.column * cell_width, cell.row * cell_height};
  }
  return points;
}

ComResult<DesktopIcons> FakeDesktopView::look() {
  if (failing()) return std::unexpected(error_);
  DesktopIcons view{geometry_, auto_arrange_, {}};
  for (const auto& [path, at] : layout()) view.icons.push_back(PlacedIcon{path, at});
  return view;
}

ComResult<void> FakeDesktopView::place(const std::vector<PlacedIcon>& icons) {
  ++placements_;
  if (failing()) return std::unexpected(error_);
  catch_up();
  if (auto_arrange_) return {};
  // The icons of one call are lifted together before any is set down.
  std::vector<std::pair<std::string, Cell>> moves;
  for (const PlacedIcon& icon : icons) {
    const std::string key = ascii_lower(icon.path);
    if (icons_.contains(key)) moves.emplace_back(key, cell_of(icon.at));
  }
  for (const auto& [key, cell] : moves) icons_.at(key).cell = Cell{-1, -1};
  for (const auto& [key, cell] : moves) put(key, cell);
  return {};
}

void FakeDesktopView::arrange(const std::vector<PlacedIcon>& icons) {
  for (const PlacedIcon& icon : icons) {
    icons_[ascii_lower(icon.path)] = Icon{icon.path, cell_of(icon.at)};
  }
  start();
}

void FakeDesktopView::drag(std::string_view path, IconPoint to) {
  catch_up();
  const std::string key = ascii_lower(path);
  if (!icons_.contains(key)) return;
  icons_.at(key).cell = Cell{-1, -1};
  put(key, cell_of(to));
}

}  // namespace mossglow::fake
