#pragma once

#include "platform/environment.hpp"

namespace mossglow {

// The process environment and the shell's known folders. SHGetKnownFolderPath needs
// COM initialised on the calling thread.
class Win32Environment final : public Environment {
 public:
  std::optional<std::string> variable(std::string_view name) override;
  ComResult<std::string> known_folder(KnownFolder folder) override;
  OsResult<std::u16string> ansi_to_utf16(std::string_view bytes) override;
};

}  // namespace mossglow
