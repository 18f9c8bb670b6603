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

Result<std::string> journal_element(const nlohmann::ordered_json& record) {
  // Checked up front: the JSON library would otherwise refuse the text mid-way.
  if (!all_strings_valid(record)) return std::unexpected(std::string(invalid_path_text));
  const std::string alone = record.dump(2, ' ', /*ensure_ascii=*/false);
  // One level in: every line gets two more spaces. Strings never hold a raw line
  // break (JSON escapes it), so each line break is the layout's own.
  std::string element;
  element.reserve(alone.size() + alone.size() / 16 + 2);
  element += "  ";
  for (const char c : alone) {
    element += c;
    if (c == '\n') element += "  ";
  }
  return element;
}

std::string join_journal_elements(std::span<const std::string> elements) {
  if (elements.empty()) return "[]";
  std::size_t size = 4;
  for (const auto& element : elements) size += element.size() + 2;
  std::string text;
  text.reserve(size);
  text += "[\n";
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i > 0) text += ",\n";
    text += elements[i];
  }
  text += "\n]";
  return text;
}

void JournalText::put(std::size_t index, Result<std::string> element) {
  if (index >= elements_.size()) {
    elements_.resize(index + 1);
    errors_.resize(index + 1);
    out_.resize(index + 1);
  }
  if (element) {
    elements_[index] = std::move(*element);
    errors_[index].clear();
  } else {
    elements_[index].clear();
    errors_[index] = std::move(element.error());
  }
}

void JournalText::leave_out(std::size_t index) {
  if (index >= elements_.size() || out_[index]) return;
  out_[index] = true;
  elements_[index].clear();
  errors_[index].clear();
  ++left_out_;
}

Result<std::string> JournalText::text() const {
  for (const auto& error : errors_) {
    if (!error.empty()) return std::unexpected(error);
  }
  if (left_out_ == 0) return join_journal_elements(elements_);
  std::vector<std::string> kept;
  kept.reserve(size());
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    if (!out_[i]) kept.push_back(elements_[i]);
  }
  return join_journal_elements(kept);
}

}  // namespace mossglow
