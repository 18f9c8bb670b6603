#pragma once

#include "platform/shell.hpp"

namespace mossglow {

// The shell over the real Windows calls: the shell link object through IShellLinkW and
// IPersistStream, WritePrivateProfileStringW, SHGetFileInfoW and SHChangeNotify.
// It never initialises COM itself; the thread that uses it must already be in a
// single-threaded apartment.
class Win32Shell final : public Shell {
 public:
  ComResult<std::string> link_bytes_with_icon(std::string_view link_bytes,
                                              std::string_view icon_path) override;
  ComResult<std::string> new_link_bytes(const NewLink& link) override;
  ComResult<LinkInfo> link_from_bytes(std::string_view link_bytes) override;
  ComResult<void> set_url_icon(std::string_view url_path, std::string_view icon_path) override;
  std::optional<IconLocation> icon_location(std::string_view path) override;
  void change_notify(std::uint32_t event, std::uint32_t flags,
                     std::optional<std::string_view> path) override;
};

}  // namespace mossglow
