#pragma once

#include "platform/desktop_view_win32.hpp"
#include "platform/environment_win32.hpp"
#include "platform/file_system_win32.hpp"
#include "platform/messages_win32.hpp"
#include "platform/registry_win32.hpp"
#include "platform/shell_win32.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The real Windows behind a System: one of each Win32 implementation, owned together
// with the System that refers to them (so it is never copied or moved). The file calls
// wait out brief locks (see PatientFileSystem).
struct Win32System {
  Win32FileSystem raw_files;
  SleepingWaiter waiter;
  PatientFileSystem files{raw_files, waiter};
  Win32Shell shell;
  Win32Environment env;
  Win32Messages messages;
  Win32Registry registry;
  Win32DesktopView view;
  System sys{files, shell, env, messages, registry, view, waiter};

  Win32System() = default;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;
};

}  // namespace mossglow
