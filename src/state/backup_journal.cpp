#include "state/backup_journal.hpp"

#include <array>

#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_records.hpp"
#include "state/journal_storage.hpp"
#include "state/json_reader.hpp"

namespace mossglow {
namespace {

constexpr std::array<json::Field, 6> record_fields{{
    {"path", false},
    {"backup", false},
    {"original_hash", false},
    {"applied_hash", true},
    {"replacement_path", true},
    {"replacement_hash", true},
}};

json::Parsed<void> read_field(Record& record, std::size_t index, json::Deserializer& de) {
  std::string* required[] = {&record.path, &record.backup, &record.original_hash};
  std::optional<std::string>* optional[] = {&record.applied_hash, &record.replacement_path,
                                            &record.replacement_hash};
  if (index < 3) {
    auto text = de.deserialize_string();
    if (!text) return std::unexpected(text.error());
    *required[index] = std::move(*text);
    return {};
  }
  auto text = de.deserialize_optional_string();
  if (!text) return std::unexpected(text.error());
  *optional[index - 3] = std::move(*text);
  return {};
}

}  // namespace

Result<std::string> backup_journal_element(const Record& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["path"] = record.path;
  object["backup"] = record.backup;
  object["original_hash"] = record.original_hash;
  object["applied_hash"] = record.applied_hash ? nlohmann::ordered_json(*record.applied_hash)
                                               : nlohmann::ordered_json(nullptr);
  if (record.replacement_path) object["replacement_path"] = *record.replacement_path;
  if (record.replacement_hash) object["replacement_hash"] = *record.replacement_hash;
  return journal_element(object);
}

Result<std::string> serialize_backup_journal(const std::vector<Record>& records) {
  std::vector<std::string> elements;
  elements.reserve(records.size());
  for (const Record& record : records) {
    auto element = backup_journal_element(record);
    if (!element) return std::unexpected(element.error());
    elements.push_back(std::move(*element));
  }
  return join_journal_elements(elements);
}

Result<std::vector<Record>> parse_backup_journal(std::string_view bytes) {
  return parse_record_list<Record>(bytes, "Record", record_fields, read_field);
}

Status save_backup_journal(const System& sys, std::string_view data_directory,
                           const std::vector<Record>& records) {
  return save_journal(sys, data_directory, backup_journal.name, backup_journal.temporary,
                      serialize_backup_journal(records));
}

Result<std::optional<std::vector<Record>>> load_backup_journal(const System& sys,
                                                               std::string_view data_directory) {
  return load_record_journal<Record>(sys, data_directory, backup_journal, parse_backup_journal);
}

}  // namespace mossglow
