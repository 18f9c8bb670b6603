#include "platform/messages_win32.hpp"

#include <windows.h>

#include "platform/text.hpp"

namespace mossglow {

std::optional<std::string> Win32Messages::system_message(std::uint32_t code) const {
  // The system allocates the buffer, so no message is ever cut short.
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) {
    LocalFree(buffer);
    return std::nullopt;
  }
  std::string text =
      to_utf8_lossy(std::u16string_view(reinterpret_cast<char16_t*>(buffer), length));
  LocalFree(buffer);
  return text;
}

}  // namespace mossglow
