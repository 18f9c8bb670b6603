#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/journal_storage.hpp"
#include "state/json_reader.hpp"

namespace mossglow {

// Every journal is one array of records of a single kind. `read_field` fills field
// `index` (an index into `fields`) of the record being read.
template <class Record>
Result<std::vector<Record>> parse_record_list(
    std::string_view bytes, std::string_view record_name, std::span<const json::Field> fields,
    json::Parsed<void> (*read_field)(Record&, std::size_t, json::Deserializer&)) {
  std::vector<Record> records;
  const auto read = json::from_slice(bytes, [&](json::Deserializer& de) {
    return de.deserialize_seq("a sequence", [&](json::SeqAccess& seq) -> json::Parsed<void> {
      for (;;) {
        auto more = seq.next_element();
        if (!more) return std::unexpected(more.error());
        if (!*more) return {};
        Record record;
        auto filled = seq.de().deserialize_struct(
            record_name, fields, [&record, read_field](std::size_t index, json::Deserializer& d) {
              return read_field(record, index, d);
            });
        if (!filled) return filled;
        records.push_back(std::move(record));
      }
    });
  });
  if (!read) return std::unexpected(read.error());
  return records;
}

// The records of journal `name`, or none when the journal does not exist.
template <class Record>
Result<std::optional<std::vector<Record>>> load_record_journal(
    const System& sys, std::string_view data_directory, std::string_view name,
    Result<std::vector<Record>> (*parse)(std::string_view)) {
  if (!journal_exists(sys.files, data_directory, name)) {
    return std::optional<std::vector<Record>>{};
  }
  auto bytes = read_journal_bytes(sys, data_directory, name);
  if (!bytes) return std::unexpected(bytes.error());
  auto records = parse(*bytes);
  if (!records) return std::unexpected(records.error());
  return std::optional<std::vector<Record>>(std::move(*records));
}

}  // namespace mossglow
