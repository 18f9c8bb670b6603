#include "state/journal_storage.hpp"

#include <nlohmann/json.hpp>

#include "platform/path.hpp"

namespace mossglow {
namespace {

// A temporary file that holds a whole JSON text was flushed before any swap was tried;
// anything else is a write that never finished.
Result<bool> is_complete_json(const System& sys, const std::string& path) {
  auto bytes = sys.files.read_file(path);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  return nlohmann::json::accept(*bytes);
}

// Moves a lone temporary file into the journal's place, when it is a whole journal.
// True when it was moved, false when it was not a whole journal.
Result<bool> promote_lone_temporary(const System& sys, const std::string& journal,
                                    const std::string& temporary) {
  auto complete = is_complete_json(sys, temporary);
  if (!complete) return std::unexpected(complete.error());
  if (!*complete) return false;
  // A save stopped before its flush leaves the bytes in the cache only: they reach the
  // disk before they take the journal's name, or a power cut could empty the journal.
  if (auto flushed = sys.files.flush_file(temporary); !flushed) {
    return sys.failure(flushed.error());
  }
  if (auto moved = sys.files.rename_new(temporary, journal); !moved) {
    return sys.failure(moved.error());
  }
  return true;
}

// Settles what an interrupted save left: a lone temporary file that holds a whole
// journal becomes the journal and a torn one is deleted. True when the journal stands.
Result<bool> settle_interrupted_save(const System& sys, const std::string& journal,
                                     const std::string& lone) {
  auto journal_found = sys.exists(journal);
  if (!journal_found || *journal_found) return journal_found;
  auto lone_found = sys.exists(lone);
  if (!lone_found || !*lone_found) return lone_found;
  auto promoted = promote_lone_temporary(sys, journal, lone);
  if (!promoted || *promoted) return promoted;
  if (auto deleted = sys.files.delete_file(lone); !deleted) {
    return sys.failure(deleted.error());
  }
  return false;
}

}  // namespace

Result<bool> journal_pending(const System& sys, std::string_view data_directory,
                             const JournalFiles& journal) {
  auto found = sys.exists(join_path(data_directory, journal.name));
  if (!found || *found) return found;
  return sys.exists(join_path(data_directory, journal.temporary));
}

Result<std::optional<std::string>> load_journal_bytes(const System& sys,
                                                      std::string_view data_directory,
                                                      const JournalFiles& journal) {
  const std::string path = join_path(data_directory, journal.name);
  const std::string lone = join_path(data_directory, journal.temporary);
  auto journal_found = settle_interrupted_save(sys, path, lone);
  if (!journal_found) return std::unexpected(journal_found.error());
  if (!*journal_found) return std::optional<std::string>{};
  auto bytes = sys.files.read_file(path);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  return std::optional<std::string>(std::move(*bytes));
}

Status save_journal(const System& sys, std::string_view data_directory, const JournalFiles& journal,
                    const Result<std::string>& serialized) {
  if (!serialized) return std::unexpected(serialized.error());
  const std::string path = join_path(data_directory, journal.name);
  const std::string lone = join_path(data_directory, journal.temporary);

  auto journal_found = settle_interrupted_save(sys, path, lone);
  if (!journal_found) return std::unexpected(journal_found.error());

  // Flushed before the swap: the rename itself is journalled by NTFS, the data is
  // not, and a power cut after an unflushed swap could leave an empty journal.
  if (auto written = sys.files.write_file(lone, *serialized, /*flush=*/true); !written) {
    return sys.failure(written.error());
  }
  if (!*journal_found) {
    if (auto renamed = sys.files.rename_replace(lone, path); !renamed) {
      return sys.failure(renamed.error());
    }
    return {};
  }
  if (auto replaced = sys.files.replace_file(path, lone); !replaced) {
    // ReplaceFileW may fail after it removed the journal; the temporary file then
    // holds the new journal, complete and flushed, and only needs its name.
    if (entry_exists(sys.files, path) == false && sys.files.rename_new(lone, path)) {
      return {};
    }
    return std::unexpected(sys.windows_text(hresult_from_win32(replaced.error().code)));
  }
  return {};
}

Status delete_journal(const System& sys, std::string_view data_directory,
                      const JournalFiles& journal) {
  const std::string lone = join_path(data_directory, journal.temporary);
  auto lone_found = sys.exists(lone);
  if (!lone_found) return std::unexpected(lone_found.error());
  if (*lone_found) {
    if (auto deleted = sys.files.delete_file(lone); !deleted) {
      return sys.failure(deleted.error());
    }
  }
  if (auto deleted = sys.files.delete_file(join_path(data_directory, journal.name)); !deleted) {
    return sys.failure(deleted.error());
  }
  return {};
}

}  // namespace mossglow
