#include "platform/desktop_view_win32.hpp"

#include <windows.h>

namespace mossglow {

// Not reached yet: the view is found to be unavailable, and the icons are left to
// Explorer.
ComResult<DesktopIcons> Win32DesktopView::look() {
  return std::unexpected(HResult{static_cast<std::uint32_t>(E_NOTIMPL)});
}

ComResult<void> Win32DesktopView::place(const std::vector<PlacedIcon>&) {
  return std::unexpected(HResult{static_cast<std::uint32_t>(E_NOTIMPL)});
}

}  // namespace mossglow
