#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace mossglow::fake {

// Forwards every call to another file system, letting a test step in around one:
// `before` may fail a call (or change the world just before it), `after` runs once a
// call has succeeded. Used for races the fault plan cannot express, such as a file
// that changes between two calls.
class InterceptingFileSystem final : public FileSystem {
 public:
  using Before =
      std::function<std::optional<Win32Error>(std::string_view operation, std::string_view path)>;
  using After = std::function<void(std::string_view operation, std::string_view path)>;

  explicit InterceptingFileSystem(FileSystem& inner) : inner_(inner) {}
  Before before;
  After after;

  OsResult<FileMetadata> metadata(std::string_view p) override {
    return call("metadata", p, [&] { return inner_.metadata(p); });
  }
  OsResult<FileMetadata> symlink_metadata(std::string_view p) override {
    return call("symlink_metadata", p, [&] { return inner_.symlink_metadata(p); });
  }
  OsResult<std::uint32_t> get_attributes(std::string_view p) override {
    return call("get_attributes", p, [&] { return inner_.get_attributes(p); });
  }
  OsResult<void> set_attributes(std::string_view p, std::uint32_t a) override {
    return call("set_attributes", p, [&] { return inner_.set_attributes(p, a); });
  }
  OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view p) override {
    return call("list_directory", p, [&] { return inner_.list_directory(p); });
  }
  OsResult<std::string> read_file(std::string_view p) override {
    return call("read_file", p, [&] { return inner_.read_file(p); });
  }
  OsResult<void> write_file(std::string_view p, std::string_view b, bool flush) override {
    return call("write_file", p, [&] { return inner_.write_file(p, b, flush); });
  }
  OsResult<void> flush_file(std::string_view p) override {
    return call("flush_file", p, [&] { return inner_.flush_file(p); });
  }
  OsResult<void> create_new_file(std::string_view p, std::string_view b, bool flush) override {
    return call("create_new_file", p, [&] { return inner_.create_new_file(p, b, flush); });
  }
  OsResult<void> copy_file(std::string_view from, std::string_view to) override {
    return call("copy_file", from, [&] { return inner_.copy_file(from, to); });
  }
  OsResult<void> rename_replace(std::string_view from, std::string_view to) override {
    return call("rename_replace", from, [&] { return inner_.rename_replace(from, to); });
  }
  OsResult<void> rename_new(std::string_view from, std::string_view to) override {
    return call("rename_new", from, [&] { return inner_.rename_new(from, to); });
  }
  OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) override {
    return call("replace_file", replaced,
                [&] { return inner_.replace_file(replaced, replacement); });
  }
  OsResult<void> delete_file(std::string_view p) override {
    return call("delete_file", p, [&] { return inner_.delete_file(p); });
  }
  OsResult<void> create_directories(std::string_view p) override {
    return call("create_directories", p, [&] { return inner_.create_directories(p); });
  }

 private:
  template <class F>
  auto call(std::string_view operation, std::string_view path, F&& forward) -> decltype(forward()) {
    if (before) {
      if (auto error = before(operation, path)) return std::unexpected(*error);
    }
    auto result = forward();
    if (result && after) after(operation, path);
    return result;
  }

  FileSystem& inner_;
};

}  // namespace mossglow::fake
