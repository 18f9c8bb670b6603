#include "state/journal_json.hpp"

#include "platform/text.hpp"

namespace mossglow {
namespace {

bool all_strings_valid(const nlohmann::ordered_json& value) {
  if (value.is_string()) return is_valid_utf8(value.get_ref<const std::string&>());
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      if (!is_valid_utf8(key) || !all_strings_valid(member)) return false;
    }
    return true;
  }
  if (value.is_array()) {
    for (const auto& element : value) {
      if (!all_strings_valid(element)) return false;
    }
  }
  return true;
}

}  // namespace

Result<std::string> dump_journal(const nlohmann::ordered_json& records) {
  // Checked up front: the JSON library would otherwise refuse the text mid-way.
  if (!all_strings_valid(records)) return std::unexpected(std::string(invalid_path_text));
  return records.dump(2, ' ', /*ensure_ascii=*/false);
}

}  // namespace mossglow
