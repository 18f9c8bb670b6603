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

const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// A list of exactly `count` whole numbers that each fit an int, or nothing.
std::optional<std::vector<int>> ints(const json* list, std::size_t count) {
  if (list == nullptr || !list->is_array() || list->size() != count) return std::nullopt;
  constexpr auto low = std::numeric_limits<int>::min();
  constexpr auto high = std::numeric_limits<int>::max();
  std::vector<int> numbers;
  for (const json& number : *list) {
    if (number.is_number_unsigned()
            ? number.get<std::uint64_t>() > std::uint64_t{high}
            : !number.is_number_integer() || number.get<std::int64_t>() < low ||
                  number.get<std::int64_t>() > high) {
      return std::nullopt;
    }
    numbers.push_back(number.get<int>());
  }
  return numbers;
}

std::optional<IconPositions> parse(const json& file) {
  const json* geometry = member(file, "geometry");
  const auto size = geometry ? ints(member(*geometry, "size"), 2) : std::nullopt;
  const json* monitors = geometry ? member(*geometry, "monitors") : nullptr;
  const json* icons = member(file, "icons");
  if (!size || !monitors || !monitors->is_array() || !icons || !icons->is_array()) {
    return std::nullopt;
  }
  IconPositions positions{{(*size)[0], (*size)[1], {}}, {}};
  for (const json& monitor : *monitors) {
    const auto rect = ints(&monitor, 4);
    if (!rect) return std::nullopt;
    positions.geometry.monitors.push_back({(*rect)[0], (*rect)[1], (*rect)[2], (*rect)[3]});
  }
  for (const json& icon : *icons) {
    const json* item = member(icon, "item");
    const json* link = member(icon, "link");
    const auto at = ints(member(icon, "at"), 2);
    if (!item || !item->is_string() || !link || !link->is_string() || !at) return std::nullopt;
    positions.icons.push_back(
        {item->get<std::string>(), link->get<std::string>(), IconPoint{(*at)[0], (*at)[1]}});
  }
  return positions;
}

}  // namespace

Status save_icon_positions(const System& sys, std::string_view data_directory,
                           const IconPositions& positions) {
  const ViewGeometry& geometry = positions.geometry;
  nlohmann::ordered_json monitors = nlohmann::ordered_json::array();
  for (const ScreenRect& m : geometry.monitors)
    monitors.push_back({m.left, m.top, m.right, m.bottom});
  nlohmann::ordered_json icons = nlohmann::ordered_json::array();
  for (const KeptIcon& icon : positions.icons) {
    if (!is_valid_utf8(icon.item) || !is_valid_utf8(icon.link)) continue;
    icons.push_back({{"item", icon.item}, {"link", icon.link}, {"at", {icon.at.x, icon.at.y}}});
  }
  nlohmann::ordered_json file = nlohmann::ordered_json::object();
  file["geometry"] = {{"size", {geometry.width, geometry.height}},
                      {"monitors", std::move(monitors)}};
  file["icons"] = std::move(icons);
  auto written = sys.files.write_file(positions_path(data_directory),
                                      file.dump(2, ' ', /*ensure_ascii=*/false), /*flush=*/true);
  if (!written) return sys.failure(written.error());
  return {};
}

std::optional<IconPositions> load_icon_positions(const System& sys,
                                                 std::string_view data_directory) {
  const auto bytes = sys.files.read_file(positions_path(data_directory));
  if (!bytes) return std::nullopt;
  return parse(json::parse(*bytes, nullptr, /*allow_exceptions=*/false));
}

void forget_icon_positions(const System& sys, std::string_view data_directory) {
  (void)sys.files.delete_file(positions_path(data_directory));
}

}  // namespace mossglow
