#include "recycle/recycle_journal.hpp"

#include <array>

#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_records.hpp"
#include "state/journal_storage.hpp"
#include "state/json_reader.hpp"

namespace mossglow {
namespace {

constexpr std::array<json::Field, 2> raw_fields{{{"kind", false}, {"bytes", false}}};
constexpr std::array<json::Field, 3> value_fields{{
    {"name", false},
    {"original", true},
    {"replacement", false},
}};

nlohmann::ordered_json raw_json(const Raw& raw) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["kind"] = raw.kind;
  object["bytes"] = nlohmann::ordered_json::array();
  for (const std::uint8_t byte : raw.bytes) object["bytes"].push_back(byte);
  return object;
}

json::Parsed<void> read_bytes(json::Deserializer& de, std::vector<std::uint8_t>& bytes) {
  return de.deserialize_seq("a sequence", [&bytes](json::SeqAccess& seq) -> json::Parsed<void> {
    for (;;) {
      auto more = seq.next_element();
      if (!more) return std::unexpected(more.error());
      if (!*more) return {};
      auto byte = seq.de().deserialize_u8();
      if (!byte) return std::unexpected(byte.error());
      bytes.push_back(*byte);
    }
  });
}

json::Parsed<void> read_raw(json::Deserializer& de, Raw& raw) {
  return de.deserialize_struct(
      "Raw", raw_fields, [&raw](std::size_t index, json::Deserializer& d) -> json::Parsed<void> {
        if (index == 1) return read_bytes(d, raw.bytes);
        auto kind = d.deserialize_u32();
        if (!kind) return std::unexpected(kind.error());
        raw.kind = *kind;
        return {};
      });
}

json::Parsed<void> read_field(Value& value, std::size_t index, json::Deserializer& de) {
  switch (index) {
    case 0: {
      auto name = de.deserialize_string();
      if (!name) return std::unexpected(name.error());
      value.name = std::move(*name);
      return {};
    }
    case 1: {
      auto some = de.deserialize_option();
      if (!some) return std::unexpected(some.error());
      if (!*some) return {};
      return read_raw(de, value.original.emplace());
    }
    default:
      return read_raw(de, value.replacement);
  }
}

}  // namespace

Result<std::string> serialize_recycle_journal(const std::vector<Value>& records) {
  auto list = nlohmann::ordered_json::array();
  for (const Value& record : records) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["name"] = record.name;
    object["original"] =
        record.original ? raw_json(*record.original) : nlohmann::ordered_json(nullptr);
    object["replacement"] = raw_json(record.replacement);
    list.push_back(std::move(object));
  }
  return dump_journal(list);
}

Result<std::vector<Value>> parse_recycle_journal(std::string_view bytes) {
  return parse_record_list<Value>(bytes, "Value", value_fields, read_field);
}

Status save_recycle_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Value>& records) {
  return save_journal(sys, data_directory, recycle_journal.name, recycle_journal.temporary,
                      serialize_recycle_journal(records));
}

Result<std::optional<std::vector<Value>>> load_recycle_journal(const System& sys,
                                                               std::string_view data_directory) {
  return load_record_journal<Value>(sys, data_directory, recycle_journal, parse_recycle_journal);
}

}  // namespace mossglow
