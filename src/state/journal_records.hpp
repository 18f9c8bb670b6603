#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/data_directory.hpp"
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

// The records of a journal, or none when there is no journal (see load_journal_bytes).
template <class Record>
Result<std::optional<std::vector<Record>>> load_record_journal(
    const System& sys, std::string_view data_directory, const JournalFiles& journal,
    Result<std::vector<Record>> (*parse)(std::string_view)) {
  auto bytes = load_journal_bytes(sys, data_directory, journal.name, journal.temporary);
  if (!bytes) return std::unexpected(bytes.error());
  if (!*bytes) return std::optional<std::vector<Record>>{};
  auto records = parse(**bytes);
  if (!records) return std::unexpected(records.error());
  return std::optional<std::vector<Record>>(std::move(*records));
}

}  // namespace mossglow
