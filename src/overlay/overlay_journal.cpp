#include "overlay/overlay_journal.hpp"

#include <array>

#include "overlay/overlay_restore.hpp"
#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_records.hpp"
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

Result<std::string> overlay_journal_element(const Overlay& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["original"] = record.original;
  object["shortcut"] = record.shortcut;
  object["shortcut_hash"] = record.shortcut_hash ? nlohmann::ordered_json(*record.shortcut_hash)
                                                 : nlohmann::ordered_json(nullptr);
  return journal_element(object);
}

Result<std::string> serialize_overlay_journal(const std::vector<Overlay>& records) {
  std::vector<std::string> elements;
  elements.reserve(records.size());
  for (const Overlay& record : records) {
    auto element = overlay_journal_element(record);
    if (!element) return std::unexpected(element.error());
    elements.push_back(std::move(*element));
  }
  return join_journal_elements(elements);
}

Result<std::vector<Overlay>> parse_overlay_journal(std::string_view bytes) {
  return parse_record_list<Overlay>(bytes, "Overlay", overlay_fields, read_field);
}

Status save_overlay_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Overlay>& records) {
  return save_journal(sys, data_directory, overlay_journal.name, overlay_journal.temporary,
                      serialize_overlay_journal(records));
}

Result<std::optional<std::vector<Overlay>>> load_overlay_journal(const System& sys,
                                                                 std::string_view data_directory) {
  return load_record_journal<Overlay>(sys, data_directory, overlay_journal, parse_overlay_journal);
}

}  // namespace mossglow
