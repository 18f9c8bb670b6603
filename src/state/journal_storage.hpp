#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The storage protocol shared by backup.json, overlay.json and recycle.json.

// True when the journal's metadata can be read; any failure counts as absent.
bool journal_exists(FileSystem& files, std::string_view data_directory,
                    std::string_view journal_name);

// The whole journal file in one read, or the OS error text.
Result<std::string> read_journal_bytes(const System& sys, std::string_view data_directory,
                                       std::string_view journal_name);

// Saves a journal whose records have already been serialised (a serialisation
// error is returned as it is, and no file is touched). The bytes go to the
// temporary file first, flushed to disk, which then takes the journal's place in
// one step: renamed when there is no journal yet, ReplaceFileW otherwise. After a
// failure the old journal is untouched; a failed rename or replace leaves the
// temporary file, which the next save rewrites.
Status save_journal(const System& sys, std::string_view data_directory,
                    std::string_view journal_name, std::string_view temporary_name,
                    const Result<std::string>& serialized);

// DeleteFileW on the journal; the OS error text on failure.
Status delete_journal(const System& sys, std::string_view data_directory,
                      std::string_view journal_name);

}  // namespace mossglow
