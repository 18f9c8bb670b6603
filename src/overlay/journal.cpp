#include "overlay/journal.hpp"

#include "state/journal.hpp"

namespace mossglow {

template <>
struct journal::Table<Overlay> {
  static constexpr std::tuple fields{
      Field{"original", &Overlay::original},
      Field{"shortcut", &Overlay::shortcut},
      Field{"shortcut_hash", &Overlay::shortcut_hash},
      Field{"shortcut_bytes", &Overlay::shortcut_bytes, Absent::left_out, /*added_later=*/true},
      Field{"complete", &Overlay::complete, Absent::left_out, /*added_later=*/true},
  };
};

Result<std::string> overlay_journal_element(const Overlay& record) {
  return journal::element(record);
}

Result<std::string> serialize_overlay_journal(const std::vector<Overlay>& records) {
  return journal::text(records);
}

Result<std::vector<Overlay>> parse_overlay_journal(std::string_view bytes) {
  return journal::read_records<Overlay>(bytes);
}

Status save_overlay_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Overlay>& records) {
  return journal::save(sys, data_directory, overlay_journal, records);
}

Result<std::optional<std::vector<Overlay>>> load_overlay_journal(const System& sys,
                                                                 std::string_view data_directory) {
  return journal::load<Overlay>(sys, data_directory, overlay_journal);
}

}  // namespace mossglow
