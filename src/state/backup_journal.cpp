#include "state/backup_journal.hpp"

#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_reader.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {

template <>
struct journal::Table<Record> {
  static constexpr std::tuple fields{
      Field{"path", &Record::path},
      Field{"backup", &Record::backup},
      Field{"original_hash", &Record::original_hash},
      Field{"applied_hash", &Record::applied_hash},
      Field{"replacement_path", &Record::replacement_path},
      Field{"replacement_hash", &Record::replacement_hash},
      Field{"attributes", &Record::attributes, /*added_later=*/true},
  };
};

Result<std::string> backup_journal_element(const Record& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["path"] = record.path;
  object["backup"] = record.backup;
  object["original_hash"] = record.original_hash;
  object["applied_hash"] = record.applied_hash ? nlohmann::ordered_json(*record.applied_hash)
                                               : nlohmann::ordered_json(nullptr);
  if (record.replacement_path) object["replacement_path"] = *record.replacement_path;
  if (record.replacement_hash) object["replacement_hash"] = *record.replacement_hash;
  if (record.attributes) object["attributes"] = *record.attributes;
  return journal_element(object);
}

Result<std::string> serialize_backup_journal(const std::vector<Record>& records) {
  return serialize_records(records, backup_journal_element);
}

Result<std::vector<Record>> parse_backup_journal(std::string_view bytes) {
  return journal::read_records<Record>(bytes);
}

Status save_backup_journal(const System& sys, std::string_view data_directory,
                           const std::vector<Record>& records) {
  return save_journal(sys, data_directory, backup_journal, serialize_backup_journal(records));
}

Result<std::optional<std::vector<Record>>> load_backup_journal(const System& sys,
                                                               std::string_view data_directory) {
  return journal::load_records<Record>(sys, data_directory, backup_journal);
}

}  // namespace mossglow
