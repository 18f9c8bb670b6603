#include "support/fake_profile.hpp"

#include <vector>

#include "platform/text.hpp"

namespace mossglow::fake {
namespace {

enum class Encoding { ansi, utf8, utf16le, utf16be };

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::string_view utf16le_bom = "\xFF\xFE";
constexpr std::string_view utf16be_bom = "\xFE\xFF";

struct Key {
  std::string name;
  std::optional<std::string> value;  // none: a line without '='
};

struct Section {
  std::string name;  // empty: the lines before the first header
  std::vector<Key> keys;
};

// The profile parser's white space: tab to carriage return, ^Z and space.
bool is_space(char c) { return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == ' '; }

std::string_view trim_left(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trim_right(std::string_view s) {
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) { return trim_right(trim_left(s)); }

std::u16string utf16_units(std::string_view bytes, bool big_endian) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(
        static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
  }
  return units;
}

std::string utf16_bytes(std::u16string_view units, bool big_endian) {
  std::string bytes;
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

// The file as text (UTF-8, or the ANSI bytes as they are) and how to write it back.
std::pair<Encoding, std::string> decode(std::string_view bytes) {
  if (bytes.starts_with(utf8_bom)) return {Encoding::utf8, std::string(bytes.substr(3))};
  if (bytes.starts_with(utf16le_bom)) {
    return {Encoding::utf16le, to_wtf8(utf16_units(bytes.substr(2), false))};
  }
  if (bytes.starts_with(utf16be_bom)) {
    return {Encoding::utf16be, to_wtf8(utf16_units(bytes.substr(2), true))};
  }
  return {Encoding::ansi, std::string(bytes)};
}

std::string encode(Encoding encoding, std::string_view text) {
  switch (encoding) {
    case Encoding::utf8:
      return std::string(utf8_bom) + std::string(text);
    case Encoding::utf16le:
      return std::string(utf16le_bom) + utf16_bytes(to_utf16(text), false);
    case Encoding::utf16be:
      return std::string(utf16be_bom) + utf16_bytes(to_utf16(text), true);
    case Encoding::ansi:
      break;
  }
  return std::string(text);
}

std::vector<Section> parse(std::string_view text) {
  std::vector<Section> sections(1);
  std::size_t pos = 0;
  while (pos < text.size()) {
    // A line ends at the first CR or LF and takes every CR and LF that follow.
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
    const std::size_t end = pos;
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
    const std::string_view line = trim(text.substr(start, end - start));
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections.push_back({std::string(trim(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    Key key;
    if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
      key.name = std::string(trim_right(line.substr(0, eq)));
      key.value = std::string(trim_left(line.substr(eq + 1)));
    } else {
      key.name = std::string(line);
    }
    // A nameless entry right after another nameless one is dropped.
    auto& keys = sections.back().keys;
    if (!key.name.empty() || keys.empty() || !keys.back().name.empty()) {
      keys.push_back(std::move(key));
    }
  }
  return sections;
}

std::string serialise(const std::vector<Section>& sections) {
  std::string text;
  for (const Section& section : sections) {
    if (!section.name.empty()) text += "[" + section.name + "]\r\n";
    for (const Key& key : section.keys) {
      text += key.name;
      if (key.value) text += "=" + *key.value;
      text += "\r\n";
    }
  }
  return text;
}

}  // namespace

std::optional<std::string> write_profile_string(std::string_view file_bytes,
                                                std::string_view section, std::string_view key,
                                                std::string_view value) {
  const auto [encoding, text] = decode(file_bytes);
  std::vector<Section> sections = parse(text);
  const std::string new_value(trim_left(value));

  Section* target = nullptr;
  for (Section& s : sections) {
    if (!s.name.empty() && equals_ignoring_ascii_case(s.name, section)) {
      target = &s;
      break;
    }
  }
  if (target == nullptr) {
    sections.push_back({std::string(section), {}});
    target = &sections.back();
  }
  Key* entry = nullptr;
  for (Key& k : target->keys) {
    if (equals_ignoring_ascii_case(k.name, key)) {
      entry = &k;
      break;
    }
  }
  if (entry == nullptr) {
    target->keys.push_back({std::string(key), std::nullopt});
    entry = &target->keys.back();
  } else if (entry->value == new_value) {
    return std::nullopt;
  }
  entry->value = new_value;
  return encode(encoding, serialise(sections));
}

}  // namespace mossglow::fake
