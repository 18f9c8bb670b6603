#include "platform/error_text.hpp"

#include <cstdio>

#include "platform/text.hpp"

namespace mossglow {

std::string os_error_text(const MessageSource& messages, Win32Error error) {
  const std::string message = trim_end_unicode(messages.system_message(error.code).value_or(""));
  return message + " (os error " + std::to_string(error.code) + ")";
}

std::string windows_error_text(const MessageSource& messages, HResult result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result.value));
  const std::string message = trim_end_unicode(messages.system_message(result.value).value_or(""));
  if (message.empty()) return code;
  return message + " (" + code + ")";
}

}  // namespace mossglow
