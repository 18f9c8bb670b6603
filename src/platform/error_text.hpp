#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/result.hpp"

namespace mossglow {

// Where system messages come from: FormatMessageW in the Windows build, a small
// table in the fake. The message is returned as Windows gives it (untrimmed), or
// nothing when the system has no message for the code.
class MessageSource {
 public:
  virtual ~MessageSource() = default;
  virtual std::optional<std::string> system_message(std::uint32_t code) const = 0;
};

// What a read of a file over the read limit answers.
inline constexpr std::string_view file_too_large_text = "文件超过 64 MB，不是程序能处理的文件";

// "<message, trailing white space removed> (os error N)".
std::string os_error_text(const MessageSource& messages, Win32Error error);

// "<message, trailing white space removed> (0xHHHHHHHH)", or "0xHHHHHHHH" alone
// when the system has no message for the code.
std::string windows_error_text(const MessageSource& messages, HResult result);

// Turns a platform result into one that carries a ready-to-show text.
template <class T>
Result<T> with_os_text(const MessageSource& messages, OsResult<T> result) {
  if (!result) return std::unexpected(os_error_text(messages, result.error()));
  if constexpr (std::is_void_v<T>) {
    return {};
  } else {
    return std::move(*result);
  }
}

template <class T>
Result<T> with_windows_text(const MessageSource& messages, ComResult<T> result) {
  if (!result) return std::unexpected(windows_error_text(messages, result.error()));
  if constexpr (std::is_void_v<T>) {
    return {};
  } else {
    return std::move(*result);
  }
}

}  // namespace mossglow
