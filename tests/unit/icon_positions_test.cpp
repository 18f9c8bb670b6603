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

enum class Twist {
  none,
  link_moved,
  no_view,
  auto_arrange,
  view_dies,
  never_shows,
  geometry,
  damaged
};

bool is_game(std::string_view path) { return path.ends_with("Game.url"); }

// What stands in the item's cell once the desktop is dressed: a shortcut itself, a link
// for a game or a plain item.
std::string dressed(const std::string& path) {
  if (is_game(path)) return with_extension(path, "lnk");
  return path.ends_with(".lnk") || path.ends_with(".url") ? path : path + ".lnk";
}

// Items by name: a shortcut, a game's or a web .url, a file (with an extension) or a folder.
void lay_out(FakeWindows& w, const std::vector<PlacedIcon>& items) {
  install_steam(w);
  for (const auto& [path, at] : items) {
    if (path.ends_with(".lnk")) w.files.add_file(path, link_to("C:\\Tools\\t.exe"));
    if (path.ends_with(".url"))
      w.files.add_file(path, url_to(is_game(path) ? "steam://rungameid/570" : "https://a.org/"));
    if (!extension(path)) w.files.add_directory(path);
    if (!w.files.exists(path)) w.files.add_file(path, path);
  }
  w.view.arrange(items);
}

// Every file but the positions' own, with its attributes and bytes.
std::string files_of(const FakeWindows& w) {
  std::string seen;
  for (const std::string& path : w.files.tree("C:\\")) {
    if (path == in_data(icon_positions_name)) continue;
    seen += path + " " + std::to_string(*w.files.attributes(path)) +
            w.files.content(path).value_or("") + "\n";
  }
  return seen;
}

// One operation on both machines: the same report and files, and a bounded wait.
void run(FakeWindows& w, FakeWindows& twin, OperationOutcome (*operation)(const System&)) {
  const std::size_t before = w.waiter.waits().size();
  EXPECT_EQ(operation(w.system()).value().text, operation(twin.system()).value().text);
  EXPECT_EQ(files_of(w), files_of(twin));
  std::chrono::milliseconds waited{0};
  for (std::size_t i = before; i < w.waiter.waits().size(); ++i) waited += w.waiter.waits()[i];
  EXPECT_LE(waited, std::chrono::milliseconds(2000));
}

TEST(IconPositions, LinksTakeTheirItemsCellsAndItemsComeBackToTheirs) {
  const std::vector<PlacedIcon> scattered = {
      {on_user("Notes.txt"), {300, 200}},  {on_user("Photos"), {0, 500}},
      {on_user("Editor.lnk"), {100, 100}}, {on_user("News.url"), {700, 700}},
      {on_user("Game.url"), {500, 0}},     {on_user("Report.doc"), {200, 600}},
      {on_user("Plan.xls"), {0, 0}}};
  const std::vector<PlacedIcon> column = {
      // a full column and one more
      {on_user("0.txt"), {0, 0}},      {on_user("1.lnk"), {0, 100}}, {on_user("2"), {0, 200}},
      {on_user("Game.url"), {0, 300}}, {on_user("4.txt"), {0, 400}}, {on_user("5.lnk"), {0, 500}},
      {on_user("6"), {0, 600}},        {on_user("7.txt"), {0, 700}}, {on_user("8.txt"), {100, 0}}};
  const std::vector<PlacedIcon> gaps = {
      {on_user("a.txt"), {0, 300}}, {on_user("b.txt"), {0, 0}},   {on_user("c.lnk"), {0, 100}},
      {on_user("d"), {200, 200}},   {on_user("e.lnk"), {0, 400}}, {on_user("f.txt"), {100, 700}}};
  const std::vector<PlacedIcon> both = {
      {on_public("Shared.txt"), {0, 0}}, {on_user("Mine.txt"), {0, 200}},
      {on_public("Game.url"), {0, 100}}, {on_public("Tool.lnk"), {100, 0}},
      {on_public("Team"), {400, 300}},   {on_user("Work"), {0, 300}}};
  // Hand-edited files the restore must not trust: broken, or a point that is no int.
  const std::string notes =
      R"({"geometry":{"size":[1000,800],"monitors":[[0,0,1000,800]]},"icons":[{"item":"C:\\Users\\user\\Desktop\\Notes.txt","link":"C:\\Users\\user\\Desktop\\Notes.txt.lnk",)";
  const struct {
    const char* name;
    std::vector<PlacedIcon> items;
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
      {"another geometry at the restore", scattered, Twist::geometry},
      {"a truncated file", scattered, Twist::damaged, notes},
      {"a point that is no whole number", scattered, Twist::damaged, notes + R"("at":[1e3,0]}]})"},
      {"a point out of range", scattered, Twist::damaged, notes + R"("at":[99999999999,0]}]})"},
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
    w.view.set_auto_arrange(row.twist == Twist::auto_arrange);
    if (row.twist == Twist::never_shows) w.view.stop_showing_changes();
    const bool kept = row.twist != Twist::no_view && row.twist != Twist::auto_arrange;
    const bool placed_at_apply =
        kept && row.twist != Twist::view_dies && row.twist != Twist::never_shows;
    const bool placed_at_restore = row.twist == Twist::none || row.twist == Twist::link_moved;
    auto start = w.view.layout();
    auto applied = start;
    for (const PlacedIcon& item : row.items)
      applied[dressed(item.path)] = applied.extract(item.path).mapped();

    run(w, twin, apply);
    EXPECT_EQ(w.files.exists(in_data(icon_positions_name)), kept);
    EXPECT_EQ(w.view.placements(), placed_at_apply ? 1 : 0);
    if (placed_at_apply) {
      EXPECT_EQ(w.view.layout(), applied);
    }
    if (row.twist == Twist::geometry) w.view.set_geometry({1280, 800, {{0, 0, 1280, 800}}});
    if (row.twist == Twist::damaged) w.files.add_file(in_data(icon_positions_name), row.file);
    if (row.twist == Twist::link_moved) {
      ASSERT_TRUE(w.view.place({{dressed(row.items[0].path), {900, 700}}}));  // by the user
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
