#include "support/fake_messages.hpp"

namespace mossglow::fake {

FakeMessages::FakeMessages()
    : table_{
          {2, "The system cannot find the file specified.\r\n"},
          {3, "The system cannot find the path specified.\r\n"},
          {5, "Access is denied.\r\n"},
          {32,
           "The process cannot access the file because it is being used by another process.\r\n"},
          {80, "The file exists.\r\n"},
          {87, "The parameter is incorrect.\r\n"},
          {112, "There is not enough space on the disk.\r\n"},
          {183, "Cannot create a file when that file already exists.\r\n"},
          {267, "The directory name is invalid.\r\n"},
          {362, "The cloud file provider is not running.\r\n"},
          {1175, "Unable to remove the file to be replaced.\r\n"},
          {1176,
           "Unable to move the replacement file to the file to be replaced. The file to be "
           "replaced has retained its original name.\r\n"},
          {0x80004005u, "Unspecified error\r\n"},
          {0x80004003u, "Invalid pointer\r\n"},
          {0x80070057u, "The parameter is incorrect.\r\n"},
      } {}

std::optional<std::string> FakeMessages::system_message(std::uint32_t code) const {
  if (const auto it = table_.find(code); it != table_.end()) return it->second;
  if ((code & 0xFFFF0000u) == 0x80070000u) {
    if (const auto it = table_.find(code & 0xFFFFu); it != table_.end()) return it->second;
  }
  return std::nullopt;
}

}  // namespace mossglow::fake
