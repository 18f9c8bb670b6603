#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.hpp"

namespace mossglow {

// What a new shell link gets: target, optionally arguments and working directory, and
// the icon location. Nothing else (description, hot key, show command) is ever set.
struct NewLink {
  std::string target;
  std::optional<std::string> arguments;
  std::optional<std::string> working_directory;
  std::string icon_path;
  int icon_index = 0;
};

// A shell link's properties as the shell link object reads them back.
struct LinkInfo {
  std::string target;
  std::string arguments;
  std::string working_directory;
  std::string icon_path;
  int icon_index = 0;
};

// The icon location the shell reports for a file (SHGetFileInfoW, SHGFI_ICONLOCATION).
struct IconLocation {
  std::string path;
  int index = 0;
};

inline constexpr std::uint32_t shcne_create = 0x2;
inline constexpr std::uint32_t shcne_delete = 0x4;
inline constexpr std::uint32_t shcne_updatedir = 0x1000;
inline constexpr std::uint32_t shcne_updateitem = 0x2000;
inline constexpr std::uint32_t shcne_assocchanged = 0x08000000;
inline constexpr std::uint32_t shcnf_idlist = 0x0;
inline constexpr std::uint32_t shcnf_pathw_flush = 0x1005;  // SHCNF_PATHW | SHCNF_FLUSH

// The Windows shell as the program uses it: the shell link object (CLSID_ShellLink
// through IShellLinkW and IPersistFile), internet shortcut keys, icon read-back and
// change notifications. COM must be initialised on the calling thread as a
// single-threaded apartment.
class Shell {
 public:
  virtual ~Shell() = default;

  // Shell links are made and changed in memory, through the object's IPersistStream on
  // a stream over memory: the bytes a link file holds, and nothing written anywhere.
  // The caller writes them where they belong, knowing them before any write begins.
  // The bytes of `link_bytes` loaded, given the icon location, and saved again.
  virtual ComResult<std::string> link_bytes_with_icon(std::string_view link_bytes,
                                                      std::string_view icon_path) = 0;
  // The bytes of a new link: SetPath, then SetArguments and SetWorkingDirectory where
  // given, then SetIconLocation.
  virtual ComResult<std::string> new_link_bytes(const NewLink& link) = 0;
  // A link's properties as the shell link object reads them back from its bytes: the
  // proof that a link holds what it was given (a target the format cannot hold comes
  // back otherwise).
  virtual ComResult<LinkInfo> link_from_bytes(std::string_view link_bytes) = 0;

  // WritePrivateProfileStringW, section InternetShortcut: IconFile then IconIndex "0".
  // A zero return with GetLastError 0 counts as success.
  virtual ComResult<void> set_url_icon(std::string_view url_path, std::string_view icon_path) = 0;

  // SHGetFileInfoW with SHGFI_ICONLOCATION; nothing when the call returns 0.
  virtual std::optional<IconLocation> icon_location(std::string_view path) = 0;

  // SHChangeNotify(event, flags, path or null, null).
  virtual void change_notify(std::uint32_t event, std::uint32_t flags,
                             std::optional<std::string_view> path) = 0;
};

}  // namespace mossglow
