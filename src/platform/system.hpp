#pragma once

#include "platform/desktop_view.hpp"
#include "platform/environment.hpp"
#include "platform/error_text.hpp"
#include "platform/file_system.hpp"
#include "platform/registry.hpp"
#include "platform/shell.hpp"
#include "platform/waiter.hpp"

namespace mossglow {

// Everything an operation may ask of Windows, handed by reference to each operation.
// The program builds one from the Win32 implementations; the tests from the fake.
struct System {
  FileSystem& files;
  Shell& shell;
  Environment& env;
  const MessageSource& messages;
  Registry& registry;
  DesktopView& view;
  Waiter& waiter;

  std::string os_text(Win32Error error) const { return os_error_text(messages, error); }
  // The usual way a failed call ends an operation: its OS error text as the error.
  std::unexpected<std::string> failure(Win32Error error) const {
    return std::unexpected(os_text(error));
  }
  // A failed whole-file read: the OS error text, or for a file over the read limit a
  // plain statement of that (the system's own text for the code speaks of saving).
  std::string read_text(Win32Error error) const {
    if (error.code == error_file_too_large) return std::string(file_too_large_text);
    return os_text(error);
  }
  std::string windows_text(HResult result) const { return windows_error_text(messages, result); }
  // Whether an entry exists, "not found" told apart from a failure to look, which
  // comes back as its text.
  Result<bool> exists(std::string_view path) const {
    auto found = entry_exists(files, path);
    if (!found) return failure(found.error());
    return *found;
  }
};

}  // namespace mossglow
