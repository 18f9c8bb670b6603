#include "support/fake_desktop_view.hpp"

#include <set>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "support/fake_windows.hpp"

namespace mossglow::fake {
namespace {

// 0 for an entry directly on the user's desktop, 1 on the public one, -1 elsewhere.
int desktop_of(std::string_view path) {
  const std::string key = FakeFileSystem::fold(path);
  const std::string_view parent = std::string_view(key).substr(0, key.rfind('\\'));
  if (parent == FakeFileSystem::fold(user_desktop)) return 0;
  return parent == FakeFileSystem::fold(public_desktop) ? 1 : -1;
}

}  // namespace

void FakeDesktopView::put(std::string key, int cell) {
  for (;; ++cell) {
    const auto occupant = std::ranges::find_if(
        icons_, [&](const auto& icon) { return icon.first != key && icon.second.second == cell; });
    icons_.at(key).second = cell;
    if (occupant == icons_.end()) return;
    key = occupant->first;
  }
}

void FakeDesktopView::catch_up() {
  std::vector<std::string> due;  // entries to show or drop, in the order they changed
  if (!started_) {
    started_ = true;
    std::map<std::pair<int, std::uint64_t>, std::string> entries;  // user's first, as made
    for (const auto& [key, node] : files_.state()) {
      if (desktop_of(node.path) >= 0)
        entries.emplace(std::pair(desktop_of(node.path), node.order), node.path);
    }
    for (auto& [order, path] : entries) due.push_back(std::move(path));
  }
  while (showing_ && !pending_.empty() && pending_.front().first <= files_.clock()) {
    due.push_back(std::move(pending_.front().second));
    pending_.erase(pending_.begin());
  }
  if (due.empty()) return;
  std::set<int> taken;
  for (const auto& [key, icon] : icons_) taken.insert(icon.second);
  for (const std::string& path : due) {
    const auto attributes = files_.attributes(path);
    const auto icon = icons_.find(ascii_lower(path));
    if (!attributes || (*attributes & file_attribute_hidden) != 0) {
      if (icon == icons_.end()) continue;
      taken.erase(icon->second.second);
      icons_.erase(icon);
    } else if (icon == icons_.end()) {
      int cell = 0;
      while (taken.contains(cell)) ++cell;
      taken.insert(cell);
      icons_[ascii_lower(path)] = {path, cell};
    }
  }
}

void FakeDesktopView::entry_changed(std::string_view path) {
  if (desktop_of(path) < 0) return;
  catch_up();
  pending_.emplace_back(files_.clock() + delay, std::string(path));
}

void FakeDesktopView::arrange(const std::vector<PlacedIcon>& icons) {
  for (const PlacedIcon& icon : icons) {
    icons_[ascii_lower(icon.path)] = {icon.path, cell_of(icon.at)};
  }
  catch_up();
}

std::map<std::string, IconPoint> FakeDesktopView::layout() {
  catch_up();
  std::vector<std::pair<std::string, int>> shown;
  for (const auto& [key, icon] : icons_) shown.push_back(icon);
  if (auto_arrange_) {
    std::ranges::stable_sort(shown, {},
                             [](const auto& icon) { return ascii_lower(file_name(icon.first)); });
    for (std::size_t n = 0; n < shown.size(); ++n) shown[n].second = static_cast<int>(n);
  }
  std::map<std::string, IconPoint> points;
  for (const auto& [path, cell] : shown) {
    points[path] = {cell / rows() * cell_size, cell % rows() * cell_size};
  }
  return points;
}

ComResult<DesktopIcons> FakeDesktopView::look() {
  if (fail_from_ > 0 && ++calls_ >= fail_from_) return std::unexpected(error_);
  DesktopIcons view{geometry_, auto_arrange_, {}};
  for (const auto& [path, at] : layout()) view.icons.push_back({path, at});
  return view;
}

ComResult<void> FakeDesktopView::place(const std::vector<PlacedIcon>& icons) {
  ++placements_;
  if (fail_from_ > 0 && ++calls_ >= fail_from_) return std::unexpected(error_);
  catch_up();
  if (auto_arrange_) return {};
  std::vector<std::pair<std::string, int>> moves;  // lifted together, then set down
  for (const PlacedIcon& icon : icons) {
    if (!icons_.contains(ascii_lower(icon.path))) continue;
    moves.emplace_back(ascii_lower(icon.path), cell_of(icon.at));
    icons_.at(moves.back().first).second = -1;
  }
  for (const auto& [key, cell] : moves) put(key, cell);
  return {};
}

}  // namespace mossglow::fake
