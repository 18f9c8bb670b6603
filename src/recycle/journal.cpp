#include "recycle/journal.hpp"

#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_reader.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {

template <>
struct journal::Table<Raw> {
  static constexpr std::tuple fields{Field{"kind", &Raw::kind}, Field{"bytes", &Raw::bytes}};
};

template <>
struct journal::Table<Value> {
  static constexpr std::tuple fields{
      Field{"name", &Value::name},
      Field{"original", &Value::original},
      Field{"replacement", &Value::replacement},
  };
};

namespace {

nlohmann::ordered_json raw_json(const Raw& raw) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["kind"] = raw.kind;
  object["bytes"] = nlohmann::ordered_json::array();
  for (const std::uint8_t byte : raw.bytes) object["bytes"].push_back(byte);
  return object;
}

}  // namespace

Result<std::string> serialize_recycle_journal(const std::vector<Value>& records) {
  return serialize_records(records, [](const Value& record) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["name"] = record.name;
    object["original"] =
        record.original ? raw_json(*record.original) : nlohmann::ordered_json(nullptr);
    object["replacement"] = raw_json(record.replacement);
    return journal_element(object);
  });
}

Result<std::vector<Value>> parse_recycle_journal(std::string_view bytes) {
  return journal::read_records<Value>(bytes);
}

Status save_recycle_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Value>& records) {
  return save_journal(sys, data_directory, recycle_journal, serialize_recycle_journal(records));
}

Result<std::optional<std::vector<Value>>> load_recycle_journal(const System& sys,
                                                               std::string_view data_directory) {
  return journal::load_records<Value>(sys, data_directory, recycle_journal);
}

}  // namespace mossglow
