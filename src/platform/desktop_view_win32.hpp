#pragma once

#include "platform/desktop_view.hpp"

namespace mossglow {

// Explorer's desktop view through the shell's documented route (IShellWindows,
// SID_STopLevelBrowser, IShellBrowser, IFolderView2). COM must be initialised on the
// calling thread as a single-threaded apartment.
class Win32DesktopView final : public DesktopView {
 public:
  ComResult<DesktopIcons> look() override;
  ComResult<void> place(const std::vector<PlacedIcon>& icons) override;
};

}  // namespace mossglow
