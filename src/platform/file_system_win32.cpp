#include "platform/file_system_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "platform/wide_path_win32.hpp"

namespace mossglow {
namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A Windows name ends at its first NUL; a path that holds one would silently name
// another file, so it is refused before it reaches the system.
constexpr DWORD error_invalid_name = 123;
constexpr DWORD error_write_fault = 29;
// ReadFile and WriteFile count in 32 bits; larger buffers go in pieces.
constexpr std::size_t io_chunk = 1u << 30;

std::unexpected<Win32Error> last_error() { return std::unexpected(Win32Error{GetLastError()}); }

std::unexpected<Win32Error> too_large() {
  return std::unexpected(Win32Error{error_file_too_large});
}

std::unexpected<Win32Error> invalid_name() {
  return std::unexpected(Win32Error{error_invalid_name});
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

 private:
  HANDLE handle_;
};

Handle open(const WidePath& path, DWORD access, DWORD disposition, DWORD flags,
            DWORD share = share_all) {
  return Handle(CreateFileW(path.get(), access, share, nullptr, disposition, flags, nullptr));
}

// The whole content from the handle's current position: read to the end rather than
// trusting the size, since the file may change meanwhile.
OsResult<std::string> read_all(const Handle& file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return last_error();
  if (static_cast<std::uint64_t>(size.QuadPart) > max_read_bytes) return too_large();
  std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled > max_read_bytes) return too_large();
    if (filled == content.size()) content.resize(content.size() + 4096);
    const auto chunk = static_cast<DWORD>(std::min(content.size() - filled, io_chunk));
    DWORD read = 0;
    if (!ReadFile(file.get(), content.data() + filled, chunk, &read, nullptr)) return last_error();
    if (read == 0) break;
    filled += read;
  }
  content.resize(filled);
  return content;
}

OsResult<FileMetadata> information(std::string_view path) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  // No access is asked for: reading the metadata must work on files opened by others
  // and on folders (backup semantics).
  const Handle file = open(wide, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!file.valid()) return last_error();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return last_error();
  return FileMetadata{info.dwFileAttributes,
                      (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow};
}

OsResult<void> write_all(const Handle& file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), io_chunk));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) return last_error();
    // A write that makes no progress would loop for ever.
    if (written == 0) return std::unexpected(Win32Error{error_write_fault});
    bytes.remove_prefix(written);
  }
  return {};
}

OsResult<void> write_and_flush(const Handle& file, std::string_view bytes, bool flush) {
  if (auto written = write_all(file, bytes); !written) return written;
  if (flush && !FlushFileBuffers(file.get())) return last_error();
  return {};
}

bool is_directory(const WidePath& path) {
  const DWORD attributes = GetFileAttributesW(path.get());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

OsResult<void> move_file(std::string_view from, std::string_view to, DWORD flags) {
  const WidePath source(from);
  const WidePath target(to);
  if (!source.valid() || !target.valid()) return invalid_name();
  if (!MoveFileExW(source.get(), target.get(), flags)) return last_error();
  return {};
}

OsResult<void> create_directory_tree(std::string_view path) {
  const WidePath wide(path);
  if (CreateDirectoryW(wide.get(), nullptr)) return {};
  const DWORD error = GetLastError();
  if (error != ERROR_PATH_NOT_FOUND) {
    // An existing folder (or a drive root, which reports access denied) is what was
    // asked for; anything else at the name, a file above all, is the failure.
    if (is_directory(wide)) return {};
    return std::unexpected(Win32Error{error});
  }
  const std::string_view parent = parent_path(path);
  if (parent.empty() || parent.size() >= path.size()) return std::unexpected(Win32Error{error});
  if (auto made = create_directory_tree(parent); !made) return made;
  if (CreateDirectoryW(wide.get(), nullptr) || is_directory(wide)) return {};
  return last_error();
}

}  // namespace

void SleepingWaiter::wait(std::chrono::milliseconds pause) {
  Sleep(static_cast<DWORD>(pause.count()));
}

OsResult<FileMetadata> Win32FileSystem::metadata(std::string_view path) {
  return information(path);
}

OsResult<std::uint32_t> Win32FileSystem::get_attributes(std::string_view path) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  const DWORD attributes = GetFileAttributesW(wide.get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
  return attributes;
}

OsResult<void> Win32FileSystem::set_attributes(std::string_view path, std::uint32_t attributes) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  if (!SetFileAttributesW(wide.get(), attributes)) return last_error();
  return {};
}

OsResult<std::vector<DirectoryEntry>> Win32FileSystem::list_directory(std::string_view folder) {
  const WidePath pattern(join_path(folder, "*"));
  if (!pattern.valid()) return invalid_name();
  WIN32_FIND_DATAW entry{};
  const HANDLE find =
      FindFirstFileExW(pattern.get(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return last_error();
  const FindHandle closer(find);
  std::vector<DirectoryEntry> entries;
  do {
    const std::u16string_view name(reinterpret_cast<const char16_t*>(entry.cFileName));
    if (name == u"." || name == u"..") continue;
    // The listing names a reparse point's tag in dwReserved0; it tells a link from a
    // cloud placeholder without opening either.
    const DWORD tag =
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? entry.dwReserved0 : 0;
    entries.push_back(
        DirectoryEntry{to_wtf8(name), entry.dwFileAttributes,
                       (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow, tag});
  } while (FindNextFileW(find, &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) return last_error();
  return entries;
}

OsResult<std::string> Win32FileSystem::read_file(std::string_view path) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  const Handle file = open(wide, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) return last_error();
  return read_all(file);
}

OsResult<void> Win32FileSystem::write_file(std::string_view path, std::string_view bytes,
                                           bool flush) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  // CREATE_ALWAYS refuses an existing hidden or system file unless the same attributes
  // are passed; opening and truncating keeps whatever attributes the file has.
  const Handle file = open(wide, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) return last_error();
  if (!SetEndOfFile(file.get())) return last_error();
  return write_and_flush(file, bytes, flush);
}

InPlaceResult Win32FileSystem::write_in_place(std::string_view path, std::string_view expected,
                                              std::string_view bytes) {
  const auto untouched = [](Win32Error error) {
    return std::unexpected(InPlaceFailure{error, false});
  };
  const auto touched = [] { return std::unexpected(InPlaceFailure{{GetLastError()}, true}); };
  const WidePath wide(path);
  if (!wide.valid()) return untouched({error_invalid_name});
  // Others may go on reading it, but no one else writes while it is checked and written.
  const Handle file = open(wide, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           FILE_SHARE_READ);
  if (!file.valid()) return untouched({GetLastError()});
  auto held = read_all(file);
  if (!held) return untouched(held.error());
  if (*held != expected) return InPlace::differs;
  if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
    return untouched({GetLastError()});
  }
  if (auto written = write_all(file, bytes); !written) {
    return std::unexpected(InPlaceFailure{written.error(), true});
  }
  // The end goes where the new bytes end: a shorter file loses the old tail.
  if (!SetEndOfFile(file.get())) return touched();
  if (!FlushFileBuffers(file.get())) return touched();
  return InPlace::written;
}

OsResult<void> Win32FileSystem::flush_file(std::string_view path) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  const Handle file = open(wide, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) return last_error();
  if (!FlushFileBuffers(file.get())) return last_error();
  return {};
}

OsResult<void> Win32FileSystem::create_new_file(std::string_view path, std::string_view bytes,
                                                bool flush) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  const Handle file = open(wide, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) return last_error();
  return write_and_flush(file, bytes, flush);
}

OsResult<void> Win32FileSystem::rename_replace(std::string_view from, std::string_view to) {
  return move_file(from, to, MOVEFILE_REPLACE_EXISTING);
}

OsResult<void> Win32FileSystem::rename_new(std::string_view from, std::string_view to) {
  return move_file(from, to, 0);
}

OsResult<void> Win32FileSystem::replace_file(std::string_view replaced,
                                             std::string_view replacement) {
  const WidePath target(replaced);
  const WidePath source(replacement);
  if (!target.valid() || !source.valid()) return invalid_name();
  if (!ReplaceFileW(target.get(), source.get(), nullptr, 0, nullptr, nullptr)) {
    return last_error();
  }
  return {};
}

OsResult<void> Win32FileSystem::delete_file(std::string_view path) {
  const WidePath wide(path);
  if (!wide.valid()) return invalid_name();
  if (!DeleteFileW(wide.get())) return last_error();
  return {};
}

OsResult<void> Win32FileSystem::create_directories(std::string_view path) {
  if (!WidePath(path).valid()) return invalid_name();
  return create_directory_tree(path);
}

}  // namespace mossglow
