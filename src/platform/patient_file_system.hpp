#pragma once

#include <array>
#include <chrono>

#include "platform/file_system.hpp"
#include "platform/waiter.hpp"

namespace mossglow {

// The pauses between the tries of a call that met a lock: short at first, so that a
// scanner's glance costs little, and about two seconds in all for one call.
inline constexpr std::array<std::chrono::milliseconds, 10> lock_backoff{
    std::chrono::milliseconds(10),  std::chrono::milliseconds(20),  std::chrono::milliseconds(40),
    std::chrono::milliseconds(80),  std::chrono::milliseconds(160), std::chrono::milliseconds(320),
    std::chrono::milliseconds(320), std::chrono::milliseconds(320), std::chrono::milliseconds(320),
    std::chrono::milliseconds(420)};

// The most one whole operation waits for locks, all its calls together: enough to see
// a few scanners' glances through, while a desktop of files held for longer fails those
// files one by one at once rather than freezing the window for minutes.
inline constexpr std::chrono::milliseconds lock_budget{3000};

// A lock someone else holds on the file: a sharing or a lock violation. Access denied is
// a permission, which waiting does not change.
constexpr bool is_transient_lock(Win32Error error) {
  return error.code == error_sharing_violation || error.code == error_lock_violation;
}

// The file calls with patience for brief locks. Indexers, antivirus scanners and sync
// clients open a new or changed file for a moment, and Explorer reads a shortcut it has
// just been told about: a call that opens a file (to read, write, flush, rename, replace
// or delete it, or to set its attributes) and meets such a lock is tried again
// after each pause of lock_backoff before its error is given, as long as the
// operation's budget lasts; once it is spent, a locked file fails at once. Calls that
// only look (metadata, attributes, listings) never meet one and go straight through.
class PatientFileSystem final : public FileSystem {
 public:
  PatientFileSystem(FileSystem& inner, Waiter& waiter,
                    std::chrono::milliseconds budget = lock_budget)
      : inner_(inner), waiter_(waiter), budget_(budget), left_(budget) {}

  // Gives the next operation the whole budget again.
  void renew_budget() { left_ = budget_; }

  OsResult<FileMetadata> metadata(std::string_view path) override;
  OsResult<std::uint32_t> get_attributes(std::string_view path) override;
  OsResult<void> set_attributes(std::string_view path, std::uint32_t attributes) override;
  OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view folder) override;
  OsResult<std::string> read_file(std::string_view path) override;
  OsResult<void> write_file(std::string_view path, std::string_view bytes, bool flush) override;
  InPlaceResult write_in_place(std::string_view path, std::string_view expected,
                               std::string_view bytes) override;
  OsResult<void> flush_file(std::string_view path) override;
  OsResult<void> create_new_file(std::string_view path, std::string_view bytes,
                                 bool flush) override;
  OsResult<void> rename_replace(std::string_view from, std::string_view to) override;
  OsResult<void> rename_new(std::string_view from, std::string_view to) override;
  OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) override;
  OsResult<void> delete_file(std::string_view path) override;
  OsResult<void> create_directories(std::string_view path) override;

 private:
  template <class Call>
  auto patiently(Call call) -> decltype(call());

  FileSystem& inner_;
  Waiter& waiter_;
  std::chrono::milliseconds budget_;
  std::chrono::milliseconds left_;
};

}  // namespace mossglow
