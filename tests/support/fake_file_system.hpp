#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"
#include "support/fault_plan.hpp"

namespace mossglow::fake {

// An in-memory volume with Win32 rules: names compared ignoring case, "\" and "/"
// alike, attributes, listing order (creation order, as the tests must not rely on
// any), CREATE_NEW, replace and rename, Win32 error codes, and read-only files that
// refuse writes. Drives ("C:") always exist. Relative paths resolve against C:\work.
//
// For crash and power-cut sweeps it can keep the state after every change it makes:
// `history()` holds one snapshot per change. Each file remembers the bytes that are
// known to be on disk (written with a flush, or flushed later); `after_power_cut`
// turns a snapshot into what the disk would hold if power failed at that moment.
class FakeFileSystem final : public FileSystem {
 public:
  struct Node {
    std::string path;  // as created (letter case kept)
    bool directory = false;
    std::uint32_t attributes = 0;
    std::string content;
    std::optional<std::string> durable;  // bytes known to survive a power cut
    std::uint64_t order = 0;             // creation order, for listings
  };
  using State = std::map<std::string, Node>;  // keyed by folded path

  struct Snapshot {
    std::string operation;  // the change that led to this state
    State state;
  };

  FakeFileSystem();

  // --- FileSystem ---
  OsResult<FileMetadata> metadata(std::string_view path) override;
  OsResult<FileMetadata> symlink_metadata(std::string_view path) override;
  OsResult<std::uint32_t> get_attributes(std::string_view path) override;
  OsResult<void> set_attributes(std::string_view path, std::uint32_t attributes) override;
  OsResult<std::vector<std::string>> list_directory(std::string_view folder) override;
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
  void add_directory(std::string_view path, std::uint32_t attributes = file_attribute_directory);
  void add_file(std::string_view path, std::string_view content,
                std::uint32_t attributes = file_attribute_archive);
  // A symbolic link entry: its own attributes carry the reparse bit; following it
  // leads to `target`, or fails with "file not found" when the target is missing.
  void add_symlink(std::string_view path, std::string_view target, bool to_directory);
  // Every access to the path fails with ERROR_SHARING_VIOLATION until unlocked.
  void lock(std::string_view path);
  void unlock(std::string_view path);
  bool exists(std::string_view path) const;
  std::optional<std::string> content(std::string_view path) const;
  std::optional<std::uint32_t> attributes(std::string_view path) const;
  // Full paths (as created) of every file and directory under a folder, sorted.
  std::vector<std::string> tree(std::string_view folder = {}) const;

  // How the fake shell writes a link or profile file: a plain overwrite that keeps
  // attributes, refuses read-only files, and counts as a change for the history.
  OsResult<void> store(std::string_view path, std::string_view bytes, std::string_view operation);

  FaultPlan& faults() { return faults_; }

  // State capture for crash sweeps.
  void record_history(bool on) { recording_ = on; }
  const std::vector<Snapshot>& history() const { return history_; }
  const State& state() const { return nodes_; }
  void load_state(const State& state) { nodes_ = state; }
  // The state as a disk would hold it after a power cut: every file keeps only the
  // bytes known to be durable (a file never flushed is empty). Names, renames and
  // attributes are metadata that the file system journals, so they survive.
  static State after_power_cut(State state);

  // The canonical key of a path: separators unified, repeated and trailing ones
  // dropped, ASCII letters folded, relative paths made absolute.
  static std::string fold(std::string_view path);

 private:
  Node* find(std::string_view folded);
  const Node* find(std::string_view folded) const;
  // Resolves symbolic links (one level is enough for the tests' needs).
  const Node* follow(const Node* node) const;
  OsResult<void> check_parent(std::string_view folded) const;
  std::optional<Win32Error> fault(std::string_view operation, std::string_view folded);
  void changed(std::string_view operation);
  Node& put(std::string_view path, Node node);
  OsResult<void> rename(std::string_view operation, std::string_view from, std::string_view to,
                        bool replace_existing);

  State nodes_;
  std::map<std::string, std::string> symlink_targets_;  // folded link -> target path
  std::set<std::string> locked_;
  FaultPlan faults_;
  bool recording_ = false;
  std::vector<Snapshot> history_;
  std::uint64_t next_order_ = 1;
};

}  // namespace mossglow::fake
