#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"
#include "state/data_directory.hpp"
#include "state/journal_fields.hpp"
#include "state/journal_json.hpp"
#include "state/journal_reader.hpp"
#include "state/journal_storage.hpp"

// The one shape of the three journals: a list of records of one type whose fields are
// listed in its Table, written as the journal layout, read back through the reader, and
// kept in the data directory by the storage protocol.
namespace mossglow::journal {

template <class M>
nlohmann::ordered_json value_json(const M& value);

// A record as a JSON object: its fields' keys in their Table's order; an optional field
// without a value as null or left out, as the Table says.
template <class R>
nlohmann::ordered_json record_json(const R& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  std::apply(
      [&](const auto&... field) {
        (
            [&] {
              const auto& member = record.*field.member;
              const std::string key(field.name);
              if constexpr (is_optional<std::remove_cvref_t<decltype(member)>>) {
                if (member) {
                  object[key] = value_json(*member);
                } else if (field.absent == Absent::null) {
                  object[key] = nullptr;
                }
              } else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>, bool>) {
                // A flag that is not set is left out (or written false, as the Table says).
                if (member || field.absent == Absent::null) object[key] = member;
              } else {
                object[key] = value_json(member);
              }
            }(),
            ...);
      },
      Table<R>::fields);
  return object;
}

template <class M>
nlohmann::ordered_json value_json(const M& value) {
  if constexpr (std::is_same_v<M, std::string> || std::is_integral_v<M>) {
    return nlohmann::ordered_json(value);
  } else if constexpr (requires { value.begin(); }) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& element : value) list.push_back(value_json(element));
    return list;
  } else {
    return record_json(value);
  }
}

// One record's element of the journal text (see JournalText).
template <class R>
Result<std::string> element(const R& record) {
  return journal_element(record_json(record));
}

// The whole journal text of the records.
template <class R>
Result<std::string> text(const std::vector<R>& records) {
  return serialize_records(records, element<R>);
}

// Saves the records as the whole journal.
template <class R>
Status save(const System& sys, std::string_view data_directory, const JournalFiles& files,
            const std::vector<R>& records) {
  return save_journal(sys, data_directory, files, text(records));
}

// The records of a journal, or none when there is no journal (see load_journal_bytes).
template <class R>
Result<std::optional<std::vector<R>>> load(const System& sys, std::string_view data_directory,
                                           const JournalFiles& files) {
  auto bytes = load_journal_bytes(sys, data_directory, files);
  if (!bytes) return std::unexpected(std::move(bytes.error()));
  if (!*bytes) return std::optional<std::vector<R>>{};
  auto records = read_records<R>(**bytes);
  if (!records) return std::unexpected(std::move(records.error()));
  return std::optional(std::move(*records));
}

}  // namespace mossglow::journal
