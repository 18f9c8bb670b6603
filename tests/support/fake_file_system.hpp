#pragma once

#include <chrono>
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
// several steps on Windows leaves each intermediate state: a write or a shell save
// first creates or truncates the file, then holds about half the bytes, then all
// of them (then, when the call flushes, they become durable); a write in place puts the
// first half of the new bytes over the old ones, then all of them, then sets the end;
// a replacing rename or ReplaceFileW first removes the file in the way while the other
// still sits under its own name. Each file remembers the bytes known to survive a power
// cut (written with a flush; none for a file never flushed), and
// `after_stop` turns a state into what a crash or a power cut leaves of it: a file
// truncated since its last flush may come back old, new, torn or empty; one only
// written in place comes back as the disk's blocks left it, each old or new, with
// zeros where it grew, and never empty. The fake Windows that owns the volume is told
// of every change (see Observer) and keeps the timeline.
//
// Each file has an ID that it keeps while it is written in place or renamed, as NTFS
// keeps a file's ID; every entry created, deleted or renamed is logged (as a folder
// watcher such as Explorer sees it). A file can be a sync client's placeholder (a
// reparse point with a cloud tag): reading or writing one whose bytes are still in the
// cloud fetches them, or fails when the provider cannot. A file can be locked for good
// or for a while, by the volume's own clock.
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
    bool truncated = false;                  // created or truncated since then
    std::optional<std::string> link_target;  // a symbolic link's target, as given
    std::uint32_t reparse_tag = 0;
    bool in_cloud = false;    // a placeholder whose bytes are not here
    std::uint64_t order = 0;  // creation order, for listings
    std::uint64_t id = 0;     // the file ID
    // Last write and last access, in the volume's ticks (every write and every first
    // read after one takes the next tick).
    std::uint64_t written = 0;
    std::uint64_t accessed = 0;
  };
  // What a shell link holds of its target, besides its path.
  struct TargetInfo {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::uint64_t written = 0;
    std::uint64_t accessed = 0;
  };
  // An entry appearing, going or changing its name, as a folder watcher sees it.
  struct EntryEvent {
    enum class Kind { created, deleted, renamed } kind;
    std::string path;
    std::string renamed_to;  // for a rename
    friend bool operator==(const EntryEvent&, const EntryEvent&) = default;
  };
  using State = std::map<std::string, Node>;  // keyed by folded path

  // Calls go through the machine's fault plan; changes are told to its timeline.
  FakeFileSystem(FaultPlan& faults, Observer& observer) : faults_(faults), observer_(observer) {}

  // --- FileSystem ---
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

  // --- test set-up and inspection (no faults, no history) ---
  // Set-up files and folders count as flushed long ago.
  void add_directory(std::string_view path, std::uint32_t attributes = file_attribute_directory);
  void add_file(std::string_view path, std::string_view content,
                std::uint32_t attributes = file_attribute_archive);
  // A symbolic link entry: its own attributes carry the reparse bit; following it
  // leads to `target`, or fails with "file not found" when the target is missing.
  void add_symlink(std::string_view path, std::string_view target, bool to_directory);
  // A sync client's placeholder: the file with a cloud reparse tag, its bytes here or
  // still in the cloud.
  void add_placeholder(std::string_view path, std::string_view content, bool in_cloud,
                       std::uint32_t attributes = file_attribute_archive);
  // Whether the sync client can fetch a placeholder's bytes (it can unless told).
  void set_cloud_provider_running(bool running) { cloud_running_ = running; }
  // The entry (a file, or a folder with the entries in it) may be read but not written,
  // renamed, deleted or given attributes, nor may anything be created in the folder:
  // every such call fails with access denied, as the public desktop answers a program
  // that runs without elevation.
  void deny_writes(std::string_view path);
  // Every access to the path fails with ERROR_SHARING_VIOLATION from now on.
  void lock(std::string_view path);
  // The same, until the volume's clock has moved on by `duration` (a scanner's glance).
  void lock_for(std::string_view path, std::chrono::milliseconds duration);
  // Moves the volume's clock on (the fake Windows' waiter does, instead of sleeping).
  void advance(std::chrono::milliseconds duration) { clock_ += duration; }
  std::chrono::milliseconds clock() const { return clock_; }
  bool exists(std::string_view path) const;
  // The entry's own bytes (a symbolic link's are empty; it is not followed).
  std::optional<std::string> content(std::string_view path) const;
  // The bytes a power cut now would not take away (nothing: never flushed, or no file).
  std::optional<std::string> durable_content(std::string_view path) const;
  std::optional<std::uint32_t> attributes(std::string_view path) const;
  // The file ID of the entry (nothing when there is none).
  std::optional<std::uint64_t> file_id(std::string_view path) const;
  const std::vector<EntryEvent>& events() const { return events_; }
  void clear_events() { events_.clear(); }
  // Full paths (as created) of every file and directory under a folder, sorted.
  std::vector<std::string> tree(std::string_view folder = {}) const;

  // The shell's own use of the volume, no call of the program's (the plan sees none):
  // reading as metadata and read_file do, and writing a link or profile file as an
  // in-place rewrite (no flush) that keeps attributes, refuses read-only files, and
  // leaves the same intermediate states as write_file under the shell call's name.
  OsResult<FileMetadata> stat(std::string_view path) const;
  OsResult<std::string> load(std::string_view path) const;
  OsResult<void> store(std::string_view path, std::string_view bytes, Op operation);
  // What the shell puts in a link to the entry (following a symbolic link), which it
  // opens to find out, as a read does; nothing when there is no such entry.
  std::optional<TargetInfo> link_target(std::string_view path);

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
  // Fetches a placeholder's bytes before they are read or written.
  OsResult<void> hydrate(const std::string& key);
  bool locked(const std::string& key) const;
  bool write_denied(const std::string& key) const;
  // A read of the entry: its access time moves as the volume keeps it.
  void read_from(const std::string& key);
  void erase(const std::string& key);
  OsResult<void> rename(Op operation, std::string_view from, std::string_view to,
                        bool replace_existing);

  FaultPlan& faults_;
  Observer& observer_;
  State nodes_;
  std::set<std::string> locked_;
  std::set<std::string> denied_;
  std::uint64_t ticks_ = 1;
  std::map<std::string, std::chrono::milliseconds> locked_until_;
  std::chrono::milliseconds clock_{0};
  bool cloud_running_ = true;
  std::vector<EntryEvent> events_;
  std::uint64_t next_order_ = 1;
  std::uint64_t next_id_ = 1;
};

}  // namespace mossglow::fake
