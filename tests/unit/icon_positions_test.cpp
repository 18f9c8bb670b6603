// Icons stay where the user put them: hand-arranged desktops go through an apply and a
// restore on the model of Explorer's view. After the apply every link stands in its
// item's cell, after the restore every item is back in its cell (or where the user moved
// its link), and nothing else moved. A view that cannot help (not there, arranging itself,
// dying, never showing the new entries, another geometry) is left alone. Either way the
// reports and files are exactly those of a machine without a view, and no operation waits
// on the view beyond its bound.
#include "layout/icon_positions.hpp"

#include <gtest/gtest.h>

#include <chrono>

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
using Layout = std::map<std::string, IconPoint>;

enum class Kind { file, folder, shortcut, web, game };
struct Item {
  Kind kind;
  std::string path;
  IconPoint at;
};
enum class Twist { none, link_moved, no_view, auto_arrange, view_dies, never_shows, new_geometry };
struct Row {
  const char* name;
  std::vector<Item> items;
  Twist twist = Twist::none;
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

// Every file of the machine but the positions' own, with its attributes and bytes.
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

// Runs one operation on both machines; the same report and files, and a bounded wait.
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
  std::vector<Item> column;  // one full column and one more, links and plain items mixed
  const Kind kinds[] = {Kind::file, Kind::shortcut, Kind::folder, Kind::game, Kind::file};
  for (int n = 0; n < 9; ++n) {
    column.push_back({kinds[n % 5],
                      on_user("Item " + std::to_string(n) +
                              (n % 5 == 3   ? ".url"
                               : n % 5 == 1 ? ".lnk"
                                            : "")),
                      {n / 8 * 100, n % 8 * 100}});
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
  const Row rows[] = {
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
  };
  for (const Row& row : rows) {
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
    const bool helps = row.twist == Twist::none || row.twist == Twist::link_moved;
    Layout start = w.view.layout();
    Layout applied;
    for (const Item& item : row.items) applied[dressed(item)] = start.at(item.path);

    run(w, twin, apply);
    EXPECT_EQ(w.files.exists(in_data(icon_positions_name)),
              row.twist != Twist::no_view && row.twist != Twist::auto_arrange);
    EXPECT_EQ(w.view.placements(), helps || row.twist == Twist::new_geometry ? 1 : 0);
    if (helps) {
      EXPECT_EQ(w.view.layout(), applied);
    }
    if (row.twist == Twist::new_geometry) w.view.set_geometry({1280, 800, {{0, 0, 1280, 800}}});
    if (row.twist == Twist::link_moved) {
      w.view.drag(dressed(row.items[0]), {900, 700});
      start[row.items[0].path] = {900, 700};
    }

    const int placed = w.view.placements();
    run(w, twin, restore);
    EXPECT_FALSE(w.files.exists(in_data(icon_positions_name)));
    EXPECT_EQ(w.view.placements(), placed + (helps ? 1 : 0));
    if (helps) {
      EXPECT_EQ(w.view.layout(), start);
    }
  }
}

// A damaged or hand-made icon-positions.json is ignored: the restore's report and files
// are a view-less machine's, and nothing is placed.
TEST(IconPositions, ADamagedFileIsIgnored) {
  const std::string notes =
      R"("item":"C:\\Users\\user\\Desktop\\Notes.txt","link":"C:\\Users\\user\\Desktop\\Notes.txt.lnk")";
  const auto file = [](const std::string& icon) {
    return R"({"geometry":{"width":1000,"height":800,"monitors":[{"left":0,"top":0,"right":1000,"bottom":800}]},"icons":[)" +
           icon + "]}";
  };
  const std::string texts[] = {"",
                               "{",
                               "\xEF\xBB\xBF{}",
                               R"({"icons":[]})",
                               file(R"({"item":5,"link":"x","x":0,"y":0})"),
                               file("{" + notes + R"(,"x":1e3,"y":0})"),
                               file("{" + notes + R"(,"x":99999999999,"y":0})"),
                               file("{" + notes + R"(,"x":-1,"y":18446744073709551615})")};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    FakeWindows w;
    FakeWindows twin;
    lay_out(w,
            {{Kind::file, on_user("Notes.txt"), {300, 200}}, {Kind::file, on_user("A"), {0, 0}}});
    lay_out(twin,
            {{Kind::file, on_user("Notes.txt"), {300, 200}}, {Kind::file, on_user("A"), {0, 0}}});
    twin.view.fail_from(1, e_fail);
    run(w, twin, apply);
    w.files.add_file(in_data(icon_positions_name), text);
    run(w, twin, restore);
    EXPECT_EQ(w.view.placements(), 1);
  }
}

}  // namespace
}  // namespace mossglow
