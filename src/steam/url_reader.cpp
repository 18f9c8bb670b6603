#include "steam/url_reader.hpp"

#include <array>
#include <vector>

#include "platform/text.hpp"

namespace mossglow {

namespace {

constexpr std::string_view incomplete_utf16 = "URL 文件的 UTF-16 编码不完整";
constexpr std::string_view lone_surrogate = "invalid utf-16: lone surrogate found";
constexpr std::string_view invalid_address = "Steam 游戏地址包含无效字符，已保留原快捷方式";

constexpr std::array<std::string_view, 3> steam_prefixes = {"steam://rungameid/", "steam://run/",
                                                            "steam://launch/"};

Result<std::string> strict_utf8(std::u16string_view units) {
  auto text = to_utf8_strict(units);
  if (!text) return std::unexpected(std::string(lone_surrogate));
  return std::move(*text);
}

Result<std::string> decode_utf16(std::string_view bytes, bool little_endian) {
  if (bytes.size() % 2 != 0) return std::unexpected(std::string(incomplete_utf16));
  std::u16string units;
  units.reserve(bytes.size() / 2 - 1);
  for (std::size_t i = 2; i < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(little_endian ? static_cast<char16_t>(first | (second << 8))
                                  : static_cast<char16_t>((first << 8) | second));
  }
  return strict_utf8(units);
}

// Control characters (C0, DEL, C1) and the double quote, which would end the quoted
// argument the address travels in. In valid UTF-8 the C1 controls are C2 80 to C2 9F.
bool has_forbidden_character(std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if (byte < 0x20 || byte == '"' || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < value.size()) {
      const auto next = static_cast<unsigned char>(value[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

std::vector<std::string> trimmed_lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    const auto length = end == std::string_view::npos ? std::string_view::npos : end - start + 1;
    lines.push_back(trim_unicode(text.substr(start, length)));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

bool is_section_header(std::string_view line) {
  return !line.empty() && line.front() == '[' && line.back() == ']';
}

// The value of the section's first URL key decides; quotes around it are the writer's.
Result<std::optional<std::string>> judge_url_value(std::string_view raw) {
  std::string value = trim_unicode(raw);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  const std::string lowered = ascii_lower(value);
  bool is_steam = false;
  for (const std::string_view prefix : steam_prefixes)
    is_steam = is_steam || lowered.starts_with(prefix);
  if (!is_steam) return std::optional<std::string>{};
  if (has_forbidden_character(value)) return std::unexpected(std::string(invalid_address));
  return std::optional<std::string>{std::move(value)};
}

}  // namespace

Result<std::string> decode_url_file(const System& sys, std::string_view bytes) {
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) return decode_utf16(bytes, /*little_endian=*/true);
    if (b0 == 0xFE && b1 == 0xFF) return decode_utf16(bytes, /*little_endian=*/false);
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (is_valid_utf8(bytes)) return std::string(bytes);

  auto units = sys.env.ansi_to_utf16(bytes);
  if (!units) return sys.failure(units.error());
  return strict_utf8(*units);
}

Result<std::optional<std::string>> find_steam_address(std::string_view text) {
  bool in_section = false;
  for (const std::string& line : trimmed_lines(text)) {
    if (is_section_header(line)) {
      in_section = equals_ignoring_ascii_case(line, "[InternetShortcut]");
      continue;
    }
    if (!in_section) continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (!equals_ignoring_ascii_case(trim_unicode(line.substr(0, equals)), "url")) continue;
    return judge_url_value(std::string_view(line).substr(equals + 1));
  }
  return std::optional<std::string>{};
}

Result<std::optional<std::string>> read_steam_game_url(const System& sys, std::string_view path) {
  auto bytes = sys.files.read_file(path);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  auto text = decode_url_file(sys, *bytes);
  if (!text) return std::unexpected(text.error());
  return find_steam_address(*text);
}

}  // namespace mossglow
