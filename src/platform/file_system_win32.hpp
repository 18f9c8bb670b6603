#pragma once

#include "platform/file_system.hpp"
#include "platform/patient_file_system.hpp"

namespace mossglow {

// The file calls over kernel32. Every failure is the thread's last-error code.
class Win32FileSystem final : public FileSystem {
 public:
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
};

// Waits with Sleep, for the file calls' patience with brief locks.
class SleepingWaiter final : public Waiter {
 public:
  void wait(std::chrono::milliseconds pause) override;
};

}  // namespace mossglow
