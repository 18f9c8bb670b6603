#pragma once

#include "platform/desktop_view.hpp"
#include "support/fake_file_system.hpp"

namespace mossglow::fake {

// Explorer's desktop view over the fake volume. (Not there yet: every call fails.)
class FakeDesktopView final : public DesktopView {
 public:
  explicit FakeDesktopView(FakeFileSystem& files) : files_(files) {}

  ComResult<DesktopIcons> look() override;
  ComResult<void> place(const std::vector<PlacedIcon>& icons) override;

 private:
  [[maybe_unused]] FakeFileSystem& files_;
};

}  // namespace mossglow::fake
