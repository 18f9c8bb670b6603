#pragma once

#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"

namespace mossglow {

// What saving a journal answers when a path cannot be written as Unicode (a file
// name holding an unpaired surrogate).
inline constexpr std::string_view invalid_path_text = "path contains invalid UTF-8 characters";

// The journal file layout: the list pretty-printed with two spaces per level, "[]"
// when empty, non-ASCII text as raw UTF-8, no byte-order mark and no final line
// break. Any string that is not valid UTF-8 makes it fail with invalid_path_text
// before anything is written.

// One record as it stands in that list: the object pretty-printed one level in.
Result<std::string> journal_element(const nlohmann::ordered_json& record);

// The journal text made of such elements, in order.
std::string join_journal_elements(std::span<const std::string> elements);

// The journal text of a list of records, each made an element by `element`.
template <class Record, class Element>
Result<std::string> serialize_records(const std::vector<Record>& records, Element element) {
  std::vector<std::string> elements;
  elements.reserve(records.size());
  for (const Record& record : records) {
    auto made = element(record);
    if (!made) return std::unexpected(made.error());
    elements.push_back(std::move(*made));
  }
  return join_journal_elements(elements);
}

// The text of a journal that grows and changes during one run. Each record's element
// is kept and made again only when that record changes, so that a save costs a join
// rather than serialising the whole list once more.
class JournalText {
 public:
  // Sets the element of record `index` (the next index appends one).
  void put(std::size_t index, Result<std::string> element);
  // Leaves record `index` out of the text from now on: it names nothing that changed.
  void leave_out(std::size_t index);
  // The number of records the text holds.
  std::size_t size() const { return elements_.size() - left_out_; }
  // The whole journal, or the first record's error.
  Result<std::string> text() const;

 private:
  std::vector<std::string> elements_;
  std::vector<std::string> errors_;  // empty where the record serialised
  std::vector<bool> out_;            // records left out
  std::size_t left_out_ = 0;
};

// What the next save of a run's journal says of the records whose change is over: those
// finished (and flushed) are marked complete; those refused before they changed anything
// are left out, since a journal names no change that never was.
struct ChangeOutcomes {
  std::vector<std::size_t> finished;
  std::vector<std::size_t> untouched;

  bool pending() const { return !finished.empty() || !untouched.empty(); }
  // Whether leaving out the untouched records leaves the journal without any.
  bool leave_nothing(const JournalText& text) const { return text.size() == untouched.size(); }

  // Marks and leaves out in the records and their text, and starts again from none.
  template <class Record, class Element>
  void write_into(std::vector<Record>& records, JournalText& text, Element element) {
    for (const std::size_t index : finished) {
      records[index].complete = true;
      text.put(index, element(records[index]));
    }
    for (const std::size_t index : untouched) text.leave_out(index);
    finished.clear();
    untouched.clear();
  }
};

}  // namespace mossglow
