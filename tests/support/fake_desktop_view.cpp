#include "support/fake_desktop_view.hpp"

namespace mossglow::fake {

namespace {
constexpr HResult e_notimpl{0x80004001u};
}  // namespace

ComResult<DesktopIcons> FakeDesktopView::look() { return std::unexpected(e_notimpl); }

ComResult<void> FakeDesktopView::place(const std::vector<PlacedIcon>&) {
  return std::unexpected(e_notimpl);
}

}  // namespace mossglow::fake
