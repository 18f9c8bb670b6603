#include "state/backup_journal.hpp"

#include "state/journal.hpp"

namespace mossglow {

template <>
struct journal::Table<Record> {
  static constexpr std::tuple fields{
      Field{"path", &Record::path},
      Field{"backup", &Record::backup},
      Field{"original_hash", &Record::original_hash},
      Field{"applied_hash", &Record::applied_hash},
      Field{"replacement_path", &Record::replacement_path, Absent::left_out},
      Field{"replacement_hash", &Record::replacement_hash, Absent::left_out},
      Field{"attributes", &Record::attributes, Absent::left_out, /*added_later=*/true},
      Field{"complete", &Record::complete, Absent::left_out, /*added_later=*/true},
  };
};

Result<std::string> backup_journal_element(const Record& record) {
  return journal::element(record);
}

Result<std::string> serialize_backup_journal(const std::vector<Record>& records) {
  return journal::text(records);
}

Result<std::vector<Record>> parse_backup_journal(std::string_view bytes) {
  return journal::read_records<Record>(bytes);
}

Status save_backup_journal(const System& sys, std::string_view data_directory,
                           const std::vector<Record>& records) {
  return journal::save(sys, data_directory, backup_journal, records);
}

Result<std::optional<std::vector<Record>>> load_backup_journal(const System& sys,
                                                               std::string_view data_directory) {
  return journal::load<Record>(sys, data_directory, backup_journal);
}

}  // namespace mossglow
