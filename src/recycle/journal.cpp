#include "recycle/journal.hpp"

#include "state/journal.hpp"

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

Result<std::string> serialize_recycle_journal(const std::vector<Value>& records) {
  return journal::text(records);
}

Result<std::vector<Value>> parse_recycle_journal(std::string_view bytes) {
  return journal::read_records<Value>(bytes);
}

Status save_recycle_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Value>& records) {
  return journal::save(sys, data_directory, recycle_journal, records);
}

Result<std::optional<std::vector<Value>>> load_recycle_journal(const System& sys,
                                                               std::string_view data_directory) {
  return journal::load<Value>(sys, data_directory, recycle_journal);
}

}  // namespace mossglow
