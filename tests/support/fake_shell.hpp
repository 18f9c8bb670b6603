#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.hpp"
#include "support/fake_file_system.hpp"
#include "support/fault_plan.hpp"

namespace mossglow::fake {

// The shell over the fake volume. A shell link is a small text that only this fake makes
// (so any other bytes fail to load with E_FAIL, as Windows refuses a file that is not a
// link); a target of MAX_PATH characters or more comes back cut short, as a link holds
// it under Wine. A new link holds its target's attributes, size and times as they were
// when it was made, and making it reads the target (moving its access time), so two
// links made of the same file a moment apart may differ, as on Windows. An internet shortcut is
// rewritten whole, byte for byte as Wine's WritePrivateProfileStringW does (see fake_profile.hpp),
// in place, leaving the intermediate states of a write (see FakeFileSystem::store). Notifications
// are recorded in order.
class FakeShell final : public Shell {
 public:
  struct Notification {
    std::uint32_t event;
    std::uint32_t flags;
    std::optional<std::string> path;
    friend bool operator==(const Notification&, const Notification&) = default;
  };

  // Calls go through the machine's fault plan, with HRESULTs for codes.
  FakeShell(FakeFileSystem& files, FaultPlan& faults) : files_(files), faults_(faults) {}

  ComResult<std::string> link_bytes_with_icon(std::string_view link_bytes,
                                              std::string_view icon_path) override;
  ComResult<std::string> new_link_bytes(const NewLink& link) override;
  ComResult<LinkInfo> link_from_bytes(std::string_view link_bytes) override;
  ComResult<void> set_url_icon(std::string_view url_path, std::string_view icon_path) override;
  std::optional<IconLocation> icon_location(std::string_view path) override;
  void change_notify(std::uint32_t event, std::uint32_t flags,
                     std::optional<std::string_view> path) override;

  // The bytes a link with these properties has on the fake volume; a link the shell made
  // also holds what it found of its target (zeros when there was none).
  static std::string link_bytes(const LinkInfo& link,
                                std::optional<FakeFileSystem::TargetInfo> target = std::nullopt);
  // A link file's properties, for the tests' checks (no call of the program's).
  std::optional<LinkInfo> read_link(std::string_view link_path) const;

  // Makes icon_location answer this for a path (nothing: the call fails).
  void override_icon_location(std::string_view path, std::optional<IconLocation> answer);

  const std::vector<Notification>& notifications() const { return notifications_; }
  void clear_notifications() { notifications_.clear(); }

 private:
  FakeFileSystem& files_;
  FaultPlan& faults_;
  std::vector<Notification> notifications_;
  std::map<std::string, std::optional<IconLocation>> icon_overrides_;
};

}  // namespace mossglow::fake
