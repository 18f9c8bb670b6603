#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/error_text.hpp"

namespace mossglow::fake {

// A small table of system messages in Windows' English wording, with the CR LF that
// FormatMessageW leaves at the end. HRESULTs of facility Win32 read as their code.
class FakeMessages final : public MessageSource {
 public:
  FakeMessages();
  std::optional<std::string> system_message(std::uint32_t code) const override;
  void set(std::uint32_t code, std::string message) { table_[code] = std::move(message); }

 private:
  std::map<std::uint32_t, std::string> table_;
};

}  // namespace mossglow::fake
