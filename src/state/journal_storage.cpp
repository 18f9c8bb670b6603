#include "state/journal_storage.hpp"

#include "platform/path.hpp"

namespace mossglow {

bool journal_exists(FileSystem& files, std::string_view data_directory,
                    std::string_view journal_name) {
  return path_exists(files, join_path(data_directory, journal_name));
}

Result<std::string> read_journal_bytes(const System& sys, std::string_view data_directory,
                                       std::string_view journal_name) {
  return with_os_text(sys.messages, sys.files.read_file(join_path(data_directory, journal_name)));
}

Status save_journal(const System& sys, std::string_view data_directory,
                    std::string_view journal_name, std::string_view temporary_name,
                    const Result<std::string>& serialized) {
  if (!serialized) return std::unexpected(serialized.error());
  const std::string journal = join_path(data_directory, journal_name);
  const std::string temporary = join_path(data_directory, temporary_name);

  // Flushed before the swap: the rename itself is journalled by NTFS, the data is
  // not, and a power cut after an unflushed swap could leave an empty journal.
  if (auto written = sys.files.write_file(temporary, *serialized, /*flush=*/true); !written) {
    return std::unexpected(sys.os_text(written.error()));
  }
  if (!journal_exists(sys.files, data_directory, journal_name)) {
    if (auto renamed = sys.files.rename_replace(temporary, journal); !renamed) {
      return std::unexpected(sys.os_text(renamed.error()));
    }
    return {};
  }
  if (auto replaced = sys.files.replace_file(journal, temporary); !replaced) {
    return std::unexpected(sys.windows_text(hresult_from_win32(replaced.error().code)));
  }
  return {};
}

Status delete_journal(const System& sys, std::string_view data_directory,
                      std::string_view journal_name) {
  return with_os_text(sys.messages, sys.files.delete_file(join_path(data_directory, journal_name)));
}

}  // namespace mossglow
