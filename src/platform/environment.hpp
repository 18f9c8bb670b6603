#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.hpp"

namespace mossglow {

enum class KnownFolder {
  desktop,         // FOLDERID_Desktop {B4BFCC3A-DB2C-424C-B029-7FE99A87C641}
  public_desktop,  // FOLDERID_PublicDesktop {C4AA340D-F20F-4863-AFEF-F87EF2E6BA25}
};

class Environment {
 public:
  virtual ~Environment() = default;
  // GetEnvironmentVariableW; nothing when the variable is not set.
  virtual std::optional<std::string> variable(std::string_view name) = 0;
  // SHGetKnownFolderPath with flags 0 and no token; the buffer is freed with CoTaskMemFree.
  virtual ComResult<std::string> known_folder(KnownFolder folder) = 0;
  // MultiByteToWideChar with CP_ACP and flags 0 into as many units as there are bytes;
  // the error is GetLastError after a zero return. Used for text files that are not
  // UTF-8, which Windows tools write in the system's ANSI code page.
  virtual OsResult<std::u16string> ansi_to_utf16(std::string_view bytes) = 0;
};

}  // namespace mossglow
