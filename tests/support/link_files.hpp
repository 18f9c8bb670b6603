#pragma once

#include <string_view>

#include "platform/file_system.hpp"
#include "platform/shell.hpp"

namespace mossglow::testing_support {

// Shell links as files, for the tests' own set-up and checks. The program makes and
// reads link bytes in memory and writes them with the file calls; these do the same, so
// they work against the fake and against Windows alike.

// The properties of the link file at `path`, as the shell link object reads them.
inline ComResult<LinkInfo> read_link(FileSystem& files, Shell& shell, std::string_view path) {
  auto bytes = files.read_file(path);
  if (!bytes) return std::unexpected(hresult_from_win32(bytes.error().code));
  return shell.link_from_bytes(*bytes);
}

// Writes a new link file with these properties at `path` (created or truncated).
inline ComResult<void> write_link(FileSystem& files, Shell& shell, std::string_view path,
                                  const NewLink& link) {
  auto bytes = shell.new_link_bytes(link);
  if (!bytes) return std::unexpected(bytes.error());
  if (auto written = files.write_file(path, *bytes, false); !written) {
    return std::unexpected(hresult_from_win32(written.error().code));
  }
  return {};
}

}  // namespace mossglow::testing_support
