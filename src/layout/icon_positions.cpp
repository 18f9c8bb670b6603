#include "layout/icon_positions.hpp"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow {
namespace {

using nlohmann::json;

std::string positions_path(std::string_view data_directory) {
  return join_path(data_directory, icon_positions_name);
}

// A whole number that fits an int; anything else (a fraction, a string, a number out
// of range) is refused.
std::optional<int> int_field(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number_integer()) return std::nullopt;
  if (it->is_number_unsigned()) {
    const std::uint64_t value = it->get<std::uint64_t>();
    if (value > std::uint64_t{std::numeric_limits<int>::max()}) return std::nullopt;
    return static_cast<int>(value);
  }
  const std::int64_t value = it->get<std::int64_t>();
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

std::optional<std::string> string_field(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<ScreenRect> read_rect(const json& value) {
  if (!value.is_object()) return std::nullopt;
  const auto left = int_field(value, "left");
  const auto top = int_field(value, "top");
  const auto right = int_field(value, "right");
  const auto bottom = int_field(value, "bottom");
  if (!left || !top || !right || !bottom) return std::nullopt;
  return ScreenRect{*left, *top, *right, *bottom};
}

std::optional<ViewGeometry> read_geometry(const json& value) {
  if (!value.is_object()) return std::nullopt;
  const auto width = int_field(value, "width");
  const auto height = int_field(value, "height");
  const auto monitors = value.find("monitors");
  if (!width || !height || monitors == value.end() || !monitors->is_array()) return std::nullopt;
  ViewGeometry geometry{*width, *height, {}};
  for (const json& monitor : *monitors) {
    const auto rect = read_rect(monitor);
    if (!rect) return std::nullopt;
    geometry.monitors.push_back(*rect);
  }
  return geometry;
}

std::optional<KeptIcon> read_icon(const json& value) {
  if (!value.is_object()) return std::nullopt;
  auto item = string_field(value, "item");
  auto link = string_field(value, "link");
  const auto x = int_field(value, "x");
  const auto y = int_field(value, "y");
  if (!item || !link || !x || !y) return std::nullopt;
  return KeptIcon{std::move(*item), std::move(*link), IconPoint{*x, *y}};
}

}  // namespace

Status save_icon_positions(const System& sys, std::string_view data_directory,
                           const IconPositions& positions) {
  nlohmann::ordered_json monitors = nlohmann::ordered_json::array();
  for (const ScreenRect& monitor : positions.geometry.monitors) {
    monitors.push_back({{"left", monitor.left},
                        {"top", monitor.top},
                        {"right", monitor.right},
                        {"bottom", monitor.bottom}});
  }
  nlohmann::ordered_json icons = nlohmann::ordered_json::array();
  for (const KeptIcon& icon : positions.icons) {
    if (!is_valid_utf8(icon.item) || !is_valid_utf8(icon.link)) continue;
    icons.push_back({{"item", icon.item}, {"link", icon.link}, {"x", icon.at.x}, {"y", icon.at.y}});
  }
  const nlohmann::ordered_json object{{"geometry",
                                       {{"width", positions.geometry.width},
                                        {"height", positions.geometry.height},
                                        {"monitors", std::move(monitors)}}},
                                      {"icons", std::move(icons)}};
  const std::string text = object.dump(2, ' ', /*ensure_ascii=*/false);
  auto written = sys.files.write_file(positions_path(data_directory), text, /*flush=*/true);
  if (!written) return sys.failure(written.error());
  return {};
}

std::optional<IconPositions> load_icon_positions(const System& sys,
                                                 std::string_view data_directory) {
  const auto bytes = sys.files.read_file(positions_path(data_directory));
  if (!bytes) return std::nullopt;
  const json parsed = json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_object()) return std::nullopt;
  const auto geometry = parsed.find("geometry");
  const auto icons = parsed.find("icons");
  if (geometry == parsed.end() || icons == parsed.end() || !icons->is_array()) {
    return std::nullopt;
  }
  IconPositions positions;
  const auto read = read_geometry(*geometry);
  if (!read) return std::nullopt;
  positions.geometry = *read;
  for (const json& value : *icons) {
    auto icon = read_icon(value);
    if (!icon) return std::nullopt;
    positions.icons.push_back(std::move(*icon));
  }
  return positions;
}

void forget_icon_positions(const System& sys, std::string_view data_directory) {
  (void)sys.files.delete_file(positions_path(data_directory));
}

}  // namespace mossglow
