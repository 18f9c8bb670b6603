#include "steam/launcher.hpp"

#include "platform/file_system.hpp"
#include "platform/path.hpp"
#include "platform/registry_value.hpp"
#include "platform/text.hpp"

namespace mossglow {

namespace {

constexpr std::string_view unrecognised = "无法识别 Steam 启动命令";

// Length of the UTF-8 sequence a lead byte starts (1 for anything that is not a lead).
std::size_t sequence_length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Everything before the first white-space character (the whole text if there is none).
std::string_view first_word(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = sequence_length(static_cast<unsigned char>(text[pos]));
    // A character is white space exactly when trimming removes it.
    if (trim_unicode(text.substr(pos, length)).empty()) return text.substr(0, pos);
    pos += length;
  }
  return text;
}

}  // namespace

Result<std::string> command_program(std::string_view command) {
  const std::string text = trim_unicode(command);
  if (text.empty()) return std::unexpected(std::string(unrecognised));
  if (text.front() == '"') {
    const auto closing = text.find('"', 1);
    if (closing == std::string::npos) return std::unexpected(std::string(unrecognised));
    return text.substr(1, closing - 1);
  }
  return std::string(first_word(text));
}

namespace {

constexpr std::string_view command_key = "steam\\shell\\open\\command";
constexpr std::string_view unreadable_command = "无法读取 Steam 启动命令：";
constexpr std::string_view not_steam = "Steam 启动程序不存在或不是 steam.exe，已保留原快捷方式";

// The registered command text; the key is closed when this returns, whatever happened.
Result<std::string> read_command(const System& sys) {
  auto key = sys.registry.open_key(RegistryRoot::classes_root, command_key, key_read);
  if (!key) return std::unexpected(std::string(unreadable_command) + sys.os_text(key.error()));
  auto value = read_registry_value(sys.registry, *key, "");
  if (!value) return sys.failure(value.error());
  auto text = registry_text(*value);
  if (!text) return sys.failure(text.error());
  return std::move(*text);
}

}  // namespace

Result<std::string> find_steam_launcher(const System& sys) {
  auto command = read_command(sys);
  if (!command) return std::unexpected(command.error());
  auto launcher = command_program(*command);
  if (!launcher) return std::unexpected(launcher.error());

  // The link will start exactly this file: it must exist and be Steam's launcher, not
  // whatever another program registered for steam: addresses.
  const auto metadata = sys.files.metadata(*launcher);
  if (!metadata || metadata->is_directory() ||
      !equals_ignoring_ascii_case(last_component(*launcher), "steam.exe")) {
    return std::unexpected(std::string(not_steam));
  }
  return launcher;
}

}  // namespace mossglow
