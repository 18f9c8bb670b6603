#include "overlay/overlay_journal.hpp"

#include <array>

#include "overlay/overlay_restore.hpp"
#include "state/journal_json.hpp"
#include "state/journal_storage.hpp"
#include "state/json_reader.hpp"

namespace mossglow {
namespace {

constexpr std::array<json::Field, 3> overlay_fields{{
    {"original", false},
    {"shortcut", false},
    {"shortcut_hash", true},
}};

json::Parsed<void> read_field(Overlay& record, std::size_t index, json::Deserializer& de) {
  if (index == 2) {
    auto hash = de.deserialize_optional_string();
    if (!hash) return std::unexpected(hash.error());
    record.shortcut_hash = std::move(*hash);
    return {};
  }
  auto text = de.deserialize_string();
  if (!text) return std::unexpected(text.error());
  (index == 0 ? record.original : record.shortcut) = std::move(*text);
  return {};
}

}  // namespace

Result<std::string> serialize_overlay_journal(const std::vector<Overlay>& records) {
  auto list = nlohmann::ordered_json::array();
  for (const Overlay& record : records) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["original"] = record.original;
    object["shortcut"] = record.shortcut;
    object["shortcut_hash"] = record.shortcut_hash ? nlohmann::ordered_json(*record.shortcut_hash)
                                                   : nlohmann::ordered_json(nullptr);
    list.push_back(std::move(object));
  }
  return dump_journal(list);
}

Result<std::vector<Overlay>> parse_overlay_journal(std::string_view bytes) {
  std::vector<Overlay> records;
  const auto read = json::from_slice(bytes, [&](json::Deserializer& de) {
    return de.deserialize_seq("a sequence", [&](json::SeqAccess& seq) -> json::Parsed<void> {
      for (;;) {
        auto more = seq.next_element();
        if (!more) return std::unexpected(more.error());
        if (!*more) return {};
        Overlay record;
        auto fields = seq.de().deserialize_struct(
            "Overlay", overlay_fields, [&record](std::size_t index, json::Deserializer& d) {
              return read_field(record, index, d);
            });
        if (!fields) return fields;
        records.push_back(std::move(record));
      }
    });
  });
  if (!read) return std::unexpected(read.error());
  return records;
}

Status save_overlay_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Overlay>& records) {
  return save_journal(sys, data_directory, overlay_journal_name, overlay_temporary_name,
                      serialize_overlay_journal(records));
}

Result<std::optional<std::vector<Overlay>>> load_overlay_journal(const System& sys,
                                                                 std::string_view data_directory) {
  if (!journal_exists(sys.files, data_directory, overlay_journal_name)) {
    return std::optional<std::vector<Overlay>>{};
  }
  auto bytes = read_journal_bytes(sys, data_directory, overlay_journal_name);
  if (!bytes) return std::unexpected(bytes.error());
  auto records = parse_overlay_journal(*bytes);
  if (!records) return std::unexpected(records.error());
  return std::optional<std::vector<Overlay>>(std::move(*records));
}

}  // namespace mossglow
