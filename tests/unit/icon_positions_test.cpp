// Icons stay where the user put them: hand-arranged desktops go through an apply and a
// restore on the model of Explorer's view. After the apply every link stands in its
// item's cell and after the restore every item in its own (or where the user moved its
// link), nothing else having moved. A view that cannot help, or a damaged positions file,
// leaves the icons to Explorer. Either way the reports and files are exactly a view-less
// machine's, and no operation waits on the view beyond its bound.
#include "layout/icon_positions.hpp"

#include <gtest/gtest.h>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "steam_fixture.hpp"

namespace mossglow {

void PrintTo(const IconPoint& point, std::ostream* out) {
  *out << "(" << point.x << "," << point.y << ")";
}

namespace {

using namespace testing_support;
using fake::FakeWindows;

enum class Kind { file, folder, shortcut, web, game };
struct Item {
  Kind kind;
  std::string path;
  IconPoint at;
};
enum class Twist {
  none,
  link_moved,
  no_view,
  auto_arrange,
  view_dies,
  never_shows,
  new_geometry,
  damaged
};

// What stands in the item's cell once the desktop is dressed.
std::string dressed(const Item& item) {
  if (item.kind == Kind::file || item.kind == Kind::folder) return item.path + ".lnk";
  return item.kind == Kind::game ? with_extension(item.path, "lnk") : item.path;
}

void lay_out(FakeWindows& w, const std::vector<Item>& items) {
  install_steam(w);
  std::vector<PlacedIcon> points;
  for (const Item& item : items) {
    if (item.kind == Kind::folder) w.files.add_directory(item.path);
    if (item.kind == Kind::file) w.files.add_file(item.path, "bytes of " + item.path);
    if (item.kind == Kind::shortcut) w.files.add_file(item.path, link_to("C:\\Tools\\t.exe"));
    if (item.kind == Kind::web) w.files.add_file(item.path, url_to("https://example.org/"));
    if (item.kind == Kind::game) w.files.add_file(item.path, url_to("steam://rungameid/570"));
    points.push_back({item.path, item.at});
  }
  w.view.arrange(points);
}

// Every file but the positions' own, with its attributes and bytes.
std::string files_of(const FakeWindows& w) {
  std::string seen;
  for (const std::string& path : w.files.tree("C:\\")) {
    if (path == in_data(icon_positions_name)) continue;
    seen += path + " " + std::to_string(w.files.attributes(path).value_or(0)) + " " +
            w.files.content(path).value_or("<folder>") + "\n";
  }
  return seen;
}

std::string text_of(const OperationOutcome& outcome) {
  return outcome ? outcome->text + (outcome->needs_attention ? " !" : "")
                 : "error " + outcome.error();
}

// One operation on both machines: the same report and files, and a bounded wait.
void run(FakeWindows& w, FakeWindows& twin, OperationOutcome (*operation)(const System&)) {
  const std::size_t before = w.waiter.waits().size();
  EXPECT_EQ(text_of(operation(w.system())), text_of(operation(twin.system())));
  EXPECT_EQ(files_of(w), files_of(twin));
  std::chrono::milliseconds waited{0};
  for (std::size_t i = before; i < w.waiter.waits().size(); ++i) waited += w.waiter.waits()[i];
  EXPECT_LE(waited, std::chrono::milliseconds(2000));
}

TEST(IconPositions, LinksTakeTheirItemsCellsAndItemsComeBackToTheirs) {
  const std::vector<Item> scattered = {{Kind::file, on_user("Notes.txt"), {300, 200}},
                                       {Kind::folder, on_user("Photos"), {0, 500}},
                                       {Kind::shortcut, on_user("Editor.lnk"), {100, 100}},
                                       {Kind::web, on_user("News.url"), {700, 700}},
                                       {Kind::game, on_user("Dota.url"), {500, 0}},
                                       {Kind::file, on_user("Report.doc"), {200, 600}},
                                       {Kind::file, on_user("Plan.xls"), {0, 0}}};
  std::vector<Item> column;  // a full column and one more, links and plain items mixed
  for (int n = 0; n < 9; ++n) {
    const Kind kind = std::array{Kind::file, Kind::shortcut, Kind::folder, Kind::game}[n % 4];
    const char* suffix = kind == Kind::game ? ".url" : kind == Kind::shortcut ? ".lnk" : "";
    column.push_back(
        {kind, on_user("Item " + std::to_string(n) + suffix), {n / 8 * 100, n % 8 * 100}});
  }
  const std::vector<Item> gaps = {
      {Kind::file, on_user("a.txt"), {0, 300}},     {Kind::file, on_user("b.txt"), {0, 0}},
      {Kind::shortcut, on_user("c.lnk"), {0, 100}}, {Kind::folder, on_user("d"), {200, 200}},
      {Kind::shortcut, on_user("e.lnk"), {0, 400}}, {Kind::file, on_user("f.txt"), {100, 700}}};
  const std::vector<Item> both = {{Kind::file, on_public("Shared.txt"), {0, 0}},
                                  {Kind::file, on_user("Mine.txt"), {0, 200}},
                                  {Kind::game, on_public("Portal.url"), {0, 100}},
                                  {Kind::shortcut, on_public("Tool.lnk"), {100, 0}},
                                  {Kind::folder, on_public("Team"), {400, 300}},
                                  {Kind::folder, on_user("Work"), {0, 300}}};
  // Hand-edited files the restore must not trust: broken, or a point that is no int.
  const std::string notes =
      R"({"item":"C:\\Users\\user\\Desktop\\Notes.txt","link":"C:\\Users\\user\\Desktop\\Notes.txt.lnk",)";
  const std::string geometry =
      R"({"geometry":{"width":1000,"height":800,"monitors":[{"left":0,"top":0,"right":1000,"bottom":800}]},"icons":[)";
  const struct {
    const char* name;
    std::vector<Item> items;
    Twist twist = Twist::none;
    std::string file = {};
  } rows[] = {
      {"scattered", scattered},
      {"packed into one column", column},
      {"with gaps", gaps},
      {"on both desktops", both},
      {"a link moved while dressed", scattered, Twist::link_moved},
      {"no view", scattered, Twist::no_view},
      {"auto-arrange", scattered, Twist::auto_arrange},
      {"a view that dies after the first look", gaps, Twist::view_dies},
      {"a view that never shows the new entries", both, Twist::never_shows},
      {"another geometry at the restore", scattered, Twist::new_geometry},
      {"a truncated file", scattered, Twist::damaged, geometry + notes},
      {"a point that is no whole number", scattered, Twist::damaged,
       geometry + notes + R"("x":1e3,"y":0}]})"},
      {"a point out of range", scattered, Twist::damaged,
       geometry + notes + R"("x":99999999999,"y":0}]})"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeWindows w;
    FakeWindows twin;
    lay_out(w, row.items);
    lay_out(twin, row.items);
    twin.view.fail_from(1, e_fail);
    if (row.twist == Twist::no_view) w.view.fail_from(1, e_fail);
    if (row.twist == Twist::view_dies) w.view.fail_from(2, e_fail);
    if (row.twist == Twist::auto_arrange) w.view.set_auto_arrange(true);
    if (row.twist == Twist::never_shows) w.view.stop_showing_changes();
    const bool kept = row.twist != Twist::no_view && row.twist != Twist::auto_arrange;
    const bool placed_at_apply =
        kept && row.twist != Twist::view_dies && row.twist != Twist::never_shows;
    const bool placed_at_restore = row.twist == Twist::none || row.twist == Twist::link_moved;
    auto start = w.view.layout();
    auto applied = start;
    for (const Item& item : row.items) applied[dressed(item)] = applied.extract(item.path).mapped();

    run(w, twin, apply);
    EXPECT_EQ(w.files.exists(in_data(icon_positions_name)), kept);
    EXPECT_EQ(w.view.placements(), placed_at_apply ? 1 : 0);
    if (placed_at_apply) {
      EXPECT_EQ(w.view.layout(), applied);
    }
    if (row.twist == Twist::new_geometry) w.view.set_geometry({1280, 800, {{0, 0, 1280, 800}}});
    if (row.twist == Twist::damaged) w.files.add_file(in_data(icon_positions_name), row.file);
    if (row.twist == Twist::link_moved) {
      ASSERT_TRUE(w.view.place({{dressed(row.items[0]), {900, 700}}}));  // by the user
      start[row.items[0].path] = {900, 700};
    }

    const int placed = w.view.placements();
    run(w, twin, restore);
    EXPECT_FALSE(w.files.exists(in_data(icon_positions_name)));
    EXPECT_EQ(w.view.placements(), placed + (placed_at_restore ? 1 : 0));
    if (placed_at_restore) {
      EXPECT_EQ(w.view.layout(), start);
    }
  }
}

}  // namespace
}  // namespace mossglow
