#include "overlay/journal.hpp"

#include "overlay/restore.hpp"
#include "state/data_directory.hpp"
#include "state/journal_json.hpp"
#include "state/journal_reader.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {

template <>
struct journal::Table<Overlay> {
  static constexpr std::tuple fields{
      Field{"original", &Overlay::original},
      Field{"shortcut", &Overlay::shortcut},
      Field{"shortcut_hash", &Overlay::shortcut_hash},
  };
};

Result<std::string> overlay_journal_element(const Overlay& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["original"] = record.original;
  object["shortcut"] = record.shortcut;
  object["shortcut_hash"] = record.shortcut_hash ? nlohmann::ordered_json(*record.shortcut_hash)
                                                 : nlohmann::ordered_json(nullptr);
  return journal_element(object);
}

Result<std::string> serialize_overlay_journal(const std::vector<Overlay>& records) {
  return serialize_records(records, overlay_journal_element);
}

Result<std::vector<Overlay>> parse_overlay_journal(std::string_view bytes) {
  return journal::read_records<Overlay>(bytes);
}

Status save_overlay_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Overlay>& records) {
  return save_journal(sys, data_directory, overlay_journal, serialize_overlay_journal(records));
}

Result<std::optional<std::vector<Overlay>>> load_overlay_journal(const System& sys,
                                                                 std::string_view data_directory) {
  return journal::load_records<Overlay>(sys, data_directory, overlay_journal);
}

}  // namespace mossglow
