#pragma once

#include "platform/error_text.hpp"

namespace mossglow {

// System messages from FormatMessageW in the user's language, as the system gives them.
class Win32Messages final : public MessageSource {
 public:
  std::optional<std::string> system_message(std::uint32_t code) const override;
};

}  // namespace mossglow
