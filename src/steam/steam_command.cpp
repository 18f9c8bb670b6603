#include "steam/steam_command.hpp"

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

}  // namespace mossglow
