#include "layout/icon_placement.hpp"

#include <chrono>
#include <map>
#include <set>
#include <utility>

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow {
namespace {

// Explorer shows a new entry once it has handled the folder's change notification,
// usually within a fraction of a second. The whole wait of one operation stays within
// this bound: the files are right without it, so no one is kept waiting for icons.
constexpr std::chrono::milliseconds view_patience{2000};
constexpr std::chrono::milliseconds view_pause{50};

// One icon to put in place: `shown` took the place of `gone`, and goes to `to`.
struct Move {
  std::string gone;
  std::string shown;
  IconPoint to;
};

// The view's icons by folded path.
std::map<std::string, const PlacedIcon*> by_path(const DesktopIcons& view) {
  std::map<std::string, const PlacedIcon*> icons;
  for (const PlacedIcon& icon : view.icons) icons.emplace(ascii_lower(icon.path), &icon);
  return icons;
}

// The folded paths of the entries, not hidden, in the folders the moves are in.
std::set<std::string> visible_entries(const System& sys, const std::vector<Move>& moves) {
  std::map<std::string, std::string> folders;  // folded -> as the moves spell it
  for (const Move& move : moves) {
    const std::string_view folder = parent_path(move.shown);
    folders.emplace(ascii_lower(folder), std::string(folder));
  }
  std::set<std::string> visible;
  for (const auto& [folded, folder] : folders) {
    const auto entries = sys.files.list_directory(folder);
    if (!entries) continue;
    for (const DirectoryEntry& entry : *entries) {
      if ((entry.attributes & file_attribute_hidden) != 0) continue;
      visible.insert(ascii_lower(join_path(folder, entry.name)));
    }
  }
  return visible;
}

// Keeps the moves the disk has made (the new entry there and shown, the old one hidden or
// gone), one per entry; waits, within the bound, until the view shows them so; then puts
// each that it shows at its point in one call. Placed one at a time, icons that snap to
// the grid would shove the ones in their way, untouched icons among them.
void settle(const System& sys, const ViewGeometry& geometry, std::vector<Move> moves) {
  if (moves.empty()) return;
  const std::set<std::string> visible = visible_entries(sys, moves);
  std::set<std::string> taken;
  std::erase_if(moves, [&](const Move& move) {
    const std::string shown = ascii_lower(move.shown);
    return !visible.contains(shown) || visible.contains(ascii_lower(move.gone)) ||
           !taken.insert(shown).second;
  });
  if (moves.empty()) return;

  std::chrono::milliseconds waited{0};
  for (;;) {
    const auto view = sys.view.look();
    // Icons Explorer arranges itself, or points of another geometry, are not ours to set.
    if (!view || view->auto_arrange || view->geometry != geometry) return;
    const auto icons = by_path(*view);
    std::vector<std::pair<const Move*, const PlacedIcon*>> ready;
    for (const Move& move : moves) {
      const auto shown = icons.find(ascii_lower(move.shown));
      if (shown != icons.end() && !icons.contains(ascii_lower(move.gone))) {
        ready.emplace_back(&move, shown->second);
      }
    }
    if (ready.size() == moves.size() || waited + view_pause > view_patience) {
      // A point an icon this call leaves alone stands on is not taken from it: putting
      // another there would shove it aside.
      std::set<std::string> moving;
      for (const auto& [move, icon] : ready) moving.insert(ascii_lower(icon->path));
      std::set<std::pair<int, int>> held;
      for (const PlacedIcon& icon : view->icons) {
        if (!moving.contains(ascii_lower(icon.path))) held.emplace(icon.at.x, icon.at.y);
      }
      std::vector<PlacedIcon> placing;
      for (const auto& [move, icon] : ready) {
        if (!held.contains({move->to.x, move->to.y})) placing.push_back({icon->path, move->to});
      }
      if (!placing.empty()) (void)sys.view.place(placing);
      return;
    }
    sys.waiter.wait(view_pause);
    waited += view_pause;
  }
}

bool on_one_of(std::string_view path, const std::vector<std::string>& desktops) {
  for (const std::string& desktop : desktops) {
    if (is_direct_child(path, desktop)) return true;
  }
  return false;
}

}  // namespace

IconPositions keep_item_positions(const System& sys, std::string_view data_directory,
                                  const std::vector<Replacement>& replaceable) {
  IconPositions kept;
  if (!replaceable.empty()) {
    const auto view = sys.view.look();
    if (view && !view->auto_arrange) {
      kept.geometry = view->geometry;
      const auto icons = by_path(*view);
      for (const Replacement& pair : replaceable) {
        const auto it = icons.find(ascii_lower(pair.item));
        if (it != icons.end()) kept.icons.push_back({pair.item, pair.link, it->second->at});
      }
    }
  }
  // A file of an earlier apply must not lead a later restore astray.
  if (kept.icons.empty()) {
    forget_icon_positions(sys, data_directory);
  } else {
    // Unsaved, the points still serve this apply; the restore then leaves the icons to
    // Explorer.
    (void)save_icon_positions(sys, data_directory, kept);
  }
  return kept;
}

void put_links_where_items_stood(const System& sys, const IconPositions& kept) {
  std::vector<Move> moves;
  for (const KeptIcon& icon : kept.icons) moves.push_back({icon.item, icon.link, icon.at});
  settle(sys, kept.geometry, std::move(moves));
}

IconPositions note_link_positions(const System& sys, std::string_view data_directory,
                                  const std::vector<std::string>& desktops) {
  IconPositions noted;
  const auto kept = load_icon_positions(sys, data_directory);
  if (!kept || kept->icons.empty()) return noted;
  const auto view = sys.view.look();
  if (!view || view->auto_arrange || view->geometry != kept->geometry) return noted;
  noted.geometry = kept->geometry;
  const auto icons = by_path(*view);
  for (const KeptIcon& icon : kept->icons) {
    // The file is a convenience anyone may edit: it names nothing off the desktops.
    if (!on_one_of(icon.item, desktops) || !on_one_of(icon.link, desktops) ||
        !same_place(parent_path(icon.item), parent_path(icon.link))) {
      continue;
    }
    // An item the view shows was not replaced, or is back already.
    if (icons.contains(ascii_lower(icon.item))) continue;
    const auto link = icons.find(ascii_lower(icon.link));
    noted.icons.push_back({icon.item, icon.link, link != icons.end() ? link->second->at : icon.at});
  }
  return noted;
}

void put_items_where_links_stood(const System& sys, const IconPositions& noted) {
  std::vector<Move> moves;
  for (const KeptIcon& icon : noted.icons) moves.push_back({icon.link, icon.item, icon.at});
  settle(sys, noted.geometry, std::move(moves));
}

}  // namespace mossglow
