#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"

namespace mossglow {

inline constexpr std::uint32_t file_attribute_readonly = 0x1;
inline constexpr std::uint32_t file_attribute_hidden = 0x2;
inline constexpr std::uint32_t file_attribute_system = 0x4;
inline constexpr std::uint32_t file_attribute_directory = 0x10;
inline constexpr std::uint32_t file_attribute_archive = 0x20;
inline constexpr std::uint32_t file_attribute_normal = 0x80;
inline constexpr std::uint32_t file_attribute_reparse_point = 0x400;

// The most any single read takes in. Shortcuts are a few kilobytes and journals a few
// megabytes; anything this large is not a file the program wrote or can use.
inline constexpr std::uint64_t max_read_bytes = std::uint64_t{64} << 20;

struct FileMetadata {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;

  bool is_directory() const { return (attributes & file_attribute_directory) != 0; }
  bool is_symlink() const { return (attributes & file_attribute_reparse_point) != 0; }
  // A plain file: neither a directory nor a link.
  bool is_file() const { return !is_directory() && !is_symlink(); }
};

// One entry of a directory listing, as the listing itself describes it.
struct DirectoryEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;

  bool is_directory() const { return (attributes & file_attribute_directory) != 0; }
  bool is_symlink() const { return (attributes & file_attribute_reparse_point) != 0; }
  friend bool operator==(const DirectoryEntry&, const DirectoryEntry&) = default;
};

// The file calls the program makes, one method per Win32 operation, with Win32
// semantics (case-insensitive names, Win32 error codes). Paths are UTF-8/WTF-8.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Metadata of the file a path names, following links (CreateFileW with no access
  // and backup semantics, then GetFileInformationByHandle).
  virtual OsResult<FileMetadata> metadata(std::string_view path) = 0;
  // Metadata of the entry itself; a link or junction is judged by its own attributes.
  virtual OsResult<FileMetadata> symlink_metadata(std::string_view path) = 0;

  // GetFileAttributesW / SetFileAttributesW with a full attribute word.
  virtual OsResult<std::uint32_t> get_attributes(std::string_view path) = 0;
  virtual OsResult<void> set_attributes(std::string_view path, std::uint32_t attributes) = 0;

  // The entries of a directory in the order the listing returns them, without "." and
  // "..", each with its own attributes (a link is not followed) and size.
  // FindFirstFileExW(folder\*) and FindNextFileW; any failure is the error.
  virtual OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view folder) = 0;

  // The whole file in one read. A file larger than max_read_bytes is not read: it fails
  // with error_file_too_large, so that a stray huge file on the desktop costs nothing.
  virtual OsResult<std::string> read_file(std::string_view path) = 0;
  // Create or truncate, write every byte, FlushFileBuffers when asked, close.
  virtual OsResult<void> write_file(std::string_view path, std::string_view bytes, bool flush) = 0;
  // Opens an existing file for writing and FlushFileBuffers it, so that bytes written
  // by another call (a copy) survive a power cut before anything depends on them.
  virtual OsResult<void> flush_file(std::string_view path) = 0;
  // CREATE_NEW (fails when the name exists) with share read, write and delete; write
  // every byte; FlushFileBuffers when asked; close. A partly written file stays.
  virtual OsResult<void> create_new_file(std::string_view path, std::string_view bytes,
                                         bool flush) = 0;

  // CopyFileExW with flags 0: an existing destination is overwritten.
  virtual OsResult<void> copy_file(std::string_view from, std::string_view to) = 0;
  // MoveFileExW with MOVEFILE_REPLACE_EXISTING.
  virtual OsResult<void> rename_replace(std::string_view from, std::string_view to) = 0;
  // MoveFileExW with flags 0: fails with ERROR_ALREADY_EXISTS when the name is taken.
  // Within one folder this is one step, so the file appears whole or not at all.
  virtual OsResult<void> rename_new(std::string_view from, std::string_view to) = 0;
  // ReplaceFileW(replaced, replacement, no backup, flags 0). The error is GetLastError.
  virtual OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) = 0;
  // DeleteFileW.
  virtual OsResult<void> delete_file(std::string_view path) = 0;
  // Creates the directory and every missing parent; an existing directory is fine.
  virtual OsResult<void> create_directories(std::string_view path) = 0;
};

// The existence test used throughout: the metadata can be read, following links;
// any failure counts as absence.
inline bool path_exists(FileSystem& files, std::string_view path) {
  return files.metadata(path).has_value();
}

// Whether an entry exists, telling "not found" apart from a failure to look: any
// other error is returned, so that something that cannot be seen is never taken for
// nothing. The entry itself is looked at (GetFileAttributesW does not follow a link, so
// a dangling link exists); it is also the cheapest question a file system answers.
inline OsResult<bool> entry_exists(FileSystem& files, std::string_view path) {
  const auto attributes = files.get_attributes(path);
  if (attributes) return true;
  if (is_not_found(attributes.error())) return false;
  return std::unexpected(attributes.error());
}

}  // namespace mossglow
