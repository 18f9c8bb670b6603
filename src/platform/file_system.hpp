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
inline constexpr std::uint32_t file_attribute_temporary = 0x100;
inline constexpr std::uint32_t file_attribute_reparse_point = 0x400;
inline constexpr std::uint32_t file_attribute_offline = 0x1000;
inline constexpr std::uint32_t file_attribute_not_content_indexed = 0x2000;
// A sync client's placeholder: kept on this device, or free to leave it.
inline constexpr std::uint32_t file_attribute_pinned = 0x80000;
inline constexpr std::uint32_t file_attribute_unpinned = 0x100000;
// A placeholder whose bytes are still in the cloud.
inline constexpr std::uint32_t file_attribute_recall_on_data_access = 0x400000;

// The bits SetFileAttributesW sets. The others describe what the entry is (a folder, a
// reparse point, a placeholder still in the cloud) and are not the caller's to write;
// the pinned and unpinned bits are, so a word written back keeps them as they were.
inline constexpr std::uint32_t settable_attributes =
    file_attribute_readonly | file_attribute_hidden | file_attribute_system |
    file_attribute_archive | file_attribute_temporary | file_attribute_offline |
    file_attribute_not_content_indexed | file_attribute_pinned | file_attribute_unpinned;

// The word to hand SetFileAttributesW for these attributes: their settable bits, or
// FILE_ATTRIBUTE_NORMAL, the documented word for "none" (0 means "no change" to some).
constexpr std::uint32_t attribute_word(std::uint32_t attributes) {
  const std::uint32_t settable = attributes & settable_attributes;
  return settable != 0 ? settable : file_attribute_normal;
}

// Reparse tags. Bit 29 marks a name surrogate (IsReparseTagNameSurrogate): an entry that
// stands for another place (a symbolic link, a junction, a mount point). Every other
// reparse point (a cloud placeholder, a deduplicated file) is the file itself.
inline constexpr std::uint32_t reparse_tag_mount_point = 0xA0000003;
inline constexpr std::uint32_t reparse_tag_symlink = 0xA000000C;
inline constexpr std::uint32_t reparse_tag_cloud = 0x9000001A;
constexpr bool is_name_surrogate(std::uint32_t tag) { return (tag & 0x20000000u) != 0; }

// The most any single read takes in. Shortcuts are a few kilobytes and journals a few
// megabytes; anything this large is not a file the program wrote or can use.
inline constexpr std::uint64_t max_read_bytes = std::uint64_t{64} << 20;

struct FileMetadata {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;

  bool is_directory() const { return (attributes & file_attribute_directory) != 0; }
};

// One entry of a directory listing, as the listing itself describes it.
struct DirectoryEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint32_t reparse_tag = 0;  // the entry's own, when it is a reparse point

  bool is_directory() const { return (attributes & file_attribute_directory) != 0; }
  // A symbolic link, junction or mount point: judged by itself, never followed.
  bool is_link() const {
    return (attributes & file_attribute_reparse_point) != 0 && is_name_surrogate(reparse_tag);
  }
  friend bool operator==(const DirectoryEntry&, const DirectoryEntry&) = default;
};

// How a checked write in place ended, when nothing failed.
enum class InPlace {
  written,  // the file held the expected bytes and now holds the new ones, flushed
  differs,  // the file held other bytes: nothing was written
};

// A checked write in place that failed, and whether the file may now hold other bytes
// than before: only once its check passed and writing began. A failure to open or to
// read it (no permission to write, a lock, no such file) left it as it was.
struct InPlaceFailure {
  Win32Error error;
  bool touched = false;
};
using InPlaceResult = std::expected<InPlace, InPlaceFailure>;

// The file calls the program makes, one method per Win32 operation, with Win32
// semantics (case-insensitive names, Win32 error codes). Paths are UTF-8/WTF-8, and
// every call hands Windows an absolute path in the same form (\\?\), so that a name
// reaches the file system exactly as written: the name a listing gave is the name
// changed, trailing dots and spaces and all.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Metadata of the file a path names, following links (CreateFileW with no access
  // and backup semantics, then GetFileInformationByHandle).
  virtual OsResult<FileMetadata> metadata(std::string_view path) = 0;

  // GetFileAttributesW / SetFileAttributesW with a full attribute word.
  virtual OsResult<std::uint32_t> get_attributes(std::string_view path) = 0;
  virtual OsResult<void> set_attributes(std::string_view path, std::uint32_t attributes) = 0;

  // The entries of a directory in the order the listing returns them, without "." and
  // "..", each with its own attributes, reparse tag (a link is not followed) and size.
  // FindFirstFileExW(folder\*) and FindNextFileW; any failure is the error.
  virtual OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view folder) = 0;

  // The whole file in one read. A file larger than max_read_bytes is not read: it fails
  // with error_file_too_large, so that a stray huge file on the desktop costs nothing.
  virtual OsResult<std::string> read_file(std::string_view path) = 0;
  // Create or truncate, write every byte, FlushFileBuffers when asked, close.
  virtual OsResult<void> write_file(std::string_view path, std::string_view bytes, bool flush) = 0;
  // How a program edits a file the user owns: opens the existing file (OPEN_EXISTING)
  // for reading and writing, sharing it for reading only, reads it whole through that
  // handle and, only when it holds exactly `expected`, writes the bytes from its start,
  // sets its end there, FlushFileBuffers, closes. The check and the write go through
  // the one handle, so a change someone made up to the last moment is never written
  // over. The file stays the same file (its ID, creation time, security, streams and
  // its place on Explorer's grid). Stopped halfway it holds a mix of the old and the new
  // bytes.
  virtual InPlaceResult write_in_place(std::string_view path, std::string_view expected,
                                       std::string_view bytes) = 0;
  // Opens an existing file for writing and FlushFileBuffers it, so that bytes some
  // earlier write left in the cache survive a power cut before anything relies on them.
  virtual OsResult<void> flush_file(std::string_view path) = 0;
  // CREATE_NEW (fails when the name exists) with share read, write and delete; write
  // every byte; FlushFileBuffers when asked; close. A partly written file stays.
  virtual OsResult<void> create_new_file(std::string_view path, std::string_view bytes,
                                         bool flush) = 0;

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
