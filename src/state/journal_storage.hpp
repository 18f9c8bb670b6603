#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/data_directory.hpp"

namespace mossglow {

// The storage protocol shared by backup.json, overlay.json and recycle.json. Each
// journal is saved through its temporary file, both in the data directory.
//
// A journal survives every outcome of its own save: the temporary file is complete and
// flushed before it takes the journal's place, so when ReplaceFileW removes the journal
// and then cannot move the temporary file in (ERROR_UNABLE_TO_MOVE_REPLACEMENT), the
// lone temporary file is the journal. Loading and the pending test count it as such.

// Whether the journal waits to be restored: the journal file exists, or a lone
// temporary file stands in for it. Only "file not found" and "path not found" mean
// absent; any other failure to read the metadata is returned as its OS error text, so
// that a journal that cannot be seen is never taken for no journal.
Result<bool> journal_pending(const System& sys, std::string_view data_directory,
                             const JournalFiles& journal);

// The journal's bytes, or nothing when there is no journal. A lone temporary file that
// holds a whole JSON text is first moved into the journal's place; one that does not
// is a save that never finished (nothing relied on it) and is deleted.
Result<std::optional<std::string>> load_journal_bytes(const System& sys,
                                                      std::string_view data_directory,
                                                      const JournalFiles& journal);

// Saves a journal whose records have already been serialised (a serialisation error is
// returned as it is, and no file is touched). The bytes go to the temporary file,
// flushed to disk, which then takes the journal's place in one step: renamed when there
// is no journal yet, ReplaceFileW otherwise. A lone temporary file left by an earlier
// save is moved into place first rather than overwritten, since it may be the only
// copy of the journal.
Status save_journal(const System& sys, std::string_view data_directory, const JournalFiles& journal,
                    const Result<std::string>& serialized);

// Deletes the journal and any temporary file beside it (the temporary file first, so
// that no stale copy can stand in for the journal once it is gone).
Status delete_journal(const System& sys, std::string_view data_directory,
                      const JournalFiles& journal);

// Group commit: the items of one run go through their steps in batches of 1, 2, 4, ...
// items, each batch recorded by one save before its changes and one after. The bytes
// written to the journal then grow linearly with the items, while a stop leaves at most
// one batch to settle. Calls `batch(begin, end)` for each range of the `count` items.
template <class Batch>
void for_each_growing_batch(std::size_t count, Batch batch) {
  for (std::size_t begin = 0, size = 1; begin < count; begin += size, size *= 2) {
    batch(begin, std::min(begin + size, count));
  }
}

}  // namespace mossglow
