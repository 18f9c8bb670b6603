#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"
#include "support/fake_timeline.hpp"
#include "support/fault_plan.hpp"

namespace mossglow::fake {

// File content shared between the live volume and its snapshots: immutable once made,
// so that a snapshot of a volume holding a 94 KB icon costs a reference, not a copy.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view bytes)
      : data_(bytes.empty() ? nullptr : std::make_shared<const std::string>(bytes)) {}

  std::string_view view() const { return data_ ? std::string_view(*data_) : std::string_view(); }
  operator std::string_view() const { return view(); }
  operator std::string() const { return str(); }
  std::string str() const { return std::string(view()); }
  std::size_t size() const { return view().size(); }
  bool empty() const { return view().empty(); }

  friend bool operator==(const Bytes& a, const Bytes& b) {
    return a.data_ == b.data_ || a.view() == b.view();
  }
  friend bool operator==(const Bytes& a, std::string_view b) { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& out, const Bytes& bytes) {
    return out << bytes.view();
  }

 private:
  std::shared_ptr<const std::string> data_;
};

// An in-memory volume with Win32 rules: names compared ignoring case, "\" and "/"
// alike, attributes, listing order (creation order, as the tests must not rely on
// any), CREATE_NEW, replace and rename, Win32 error codes, and read-only files that
// refuse writes. Drives ("C:") always exist. Relative paths resolve against C:\work.
//
// It is as harsh as a real disk for crash and power-cut sweeps. A call that takes
// several steps on Windows leaves each intermediate state: a write, a shell save or a
// copy first creates or truncates the file, then holds about half the bytes, then all
// of them (then, when the call flushes, they become durable); a replacing rename or
// ReplaceFileW first removes the file in the way while the other still sits under its
// own name. Each file remembers the bytes known to survive a power cut (written with a
// flush, or flushed later; none for a file never flushed), and `after_stop` turns a
// state into what a crash or a power cut leaves of it. The fake Windows that owns the
// volume is told of every change (see Observer) and keeps the timeline.
//
// Writes through a symbolic link land on its target, as reads do; rename, delete and
// the attribute calls act on the link entry itself.
class FakeFileSystem final : public FileSystem {
 public:
  struct Node {
    std::string path;  // as created (letter case kept)
    bool directory = false;
    std::uint32_t attributes = 0;
    Bytes content;
    std::optional<Bytes> durable;            // bytes known to survive a power cut
    std::optional<std::string> link_target;  // a symbolic link's target, as given
    std::uint64_t order = 0;                 // creation order, for listings
  };
  using State = std::map<std::string, Node>;  // keyed by folded path

  // Calls go through the machine's fault plan; changes are told to its timeline.
  FakeFileSystem(FaultPlan& faults, Observer& observer) : faults_(faults), observer_(observer) {}

  // --- FileSystem ---
  OsResult<FileMetadata> metadata(std::string_view path) override;
  OsResult<FileMetadata> symlink_metadata(std::string_view path) override;
  OsResult<std::uint32_t> get_attributes(std::string_view path) override;
  OsResult<void> set_attributes(std::string_view path, std::uint32_t attributes) override;
  OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view folder) override;
  OsResult<std::string> read_file(std::string_view path) override;
  OsResult<void> write_file(std::string_view path, std::string_view bytes, bool flush) override;
  OsResult<void> flush_file(std::string_view path) override;
  OsResult<void> create_new_file(std::string_view path, std::string_view bytes,
                                 bool flush) override;
  OsResult<void> copy_file(std::string_view from, std::string_view to) override;
  OsResult<void> rename_replace(std::string_view from, std::string_view to) override;
  OsResult<void> rename_new(std::string_view from, std::string_view to) override;
  OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) override;
  OsResult<void> delete_file(std::string_view path) override;
  OsResult<void> create_directories(std::string_view path) override;

  // --- test set-up and inspection (no faults, no history) ---
  // Set-up files and folders count as flushed long ago.
  void add_directory(std::string_view path, std::uint32_t attributes = file_attribute_directory);
  void add_file(std::string_view path, std::string_view content,
                std::uint32_t attributes = file_attribute_archive);
  // A symbolic link entry: its own attributes carry the reparse bit; following it
  // leads to `target`, or fails with "file not found" when the target is missing.
  void add_symlink(std::string_view path, std::string_view target, bool to_directory);
  // Every access to the path fails with ERROR_SHARING_VIOLATION from now on.
  void lock(std::string_view path);
  bool exists(std::string_view path) const;
  // The entry's own bytes (a symbolic link's are empty; it is not followed).
  std::optional<std::string> content(std::string_view path) const;
  // The bytes a power cut now would not take away (nothing: never flushed, or no file).
  std::optional<std::string> durable_content(std::string_view path) const;
  std::optional<std::uint32_t> attributes(std::string_view path) const;
  // Full paths (as created) of every file and directory under a folder, sorted.
  std::vector<std::string> tree(std::string_view folder = {}) const;

  // The shell's own use of the volume, no call of the program's (the plan sees none):
  // reading as metadata and read_file do, and writing a link or profile file as an
  // in-place rewrite (no flush) that keeps attributes, refuses read-only files, and
  // leaves the same intermediate states as write_file under the shell call's name.
  OsResult<FileMetadata> stat(std::string_view path) const;
  OsResult<std::string> load(std::string_view path) const;
  OsResult<void> store(std::string_view path, std::string_view bytes, Op operation);

  const State& state() const { return nodes_; }
  void load_state(State state);
  // The state as a stop of this kind leaves it. After a power cut the disk holds only
  // what survived, so every file's content is durable again.
  static State after_stop(State state, Stop stop);

  // The canonical key of a path: separators unified, repeated and trailing ones
  // dropped, ASCII letters folded, relative paths made absolute.
  static std::string fold(std::string_view path);

 private:
  Node* find(std::string_view folded);
  const Node* find(std::string_view folded) const;
  // Resolves symbolic links (one level is enough for the tests' needs).
  const Node* follow(const Node* node) const;
  // Where a write to `folded` lands: the entry, or a symbolic link's target (which
  // may not exist yet). The second member is the spelling a new file there takes.
  std::pair<std::string, std::string> write_target(std::string_view folded,
                                                   std::string_view path) const;
  OsResult<void> check_parent(std::string_view folded) const;
  // The error for a missing entry: no such file, or no such folder above it.
  std::unexpected<Win32Error> not_found(std::string_view folded) const;
  // Set-up only: makes the folders above a new entry.
  void add_parent(std::string_view folded, std::string_view path);
  void changed(Op operation, std::string_view path, std::string_view step = {});
  Node& put(const std::string& key, std::string_view path, Node node);
  // A write's last step: the file's bytes are durable.
  void make_durable(const std::string& key, Op operation);
  // Writes `bytes` in the steps a disk goes through (see the class comment). The file
  // keeps the durable bytes it had; a new one has none.
  void write_in_steps(const std::string& key, std::string_view path, std::uint32_t attributes,
                      const Bytes& bytes, Op operation);
  OsResult<void> rename(Op operation, std::string_view from, std::string_view to,
                        bool replace_existing);

  FaultPlan& faults_;
  Observer& observer_;
  State nodes_;
  std::set<std::string> locked_;
  std::uint64_t next_order_ = 1;
};

}  // namespace mossglow::fake
