#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/result.hpp"
#include "state/journal_fields.hpp"

// Reads a journal: one JSON array of records of one type, straight into the records
// through nlohmann/json's SAX interface. A record is an object keyed by its field names
// (unknown keys skipped, optional fields may be missing or null) or an array of exactly
// its fields' values in field order. Every error text ends with " at line L column C".
namespace mossglow::journal {

struct FieldName {
  std::string_view name;
  bool optional;
  bool added_later;
};

struct RecordSlot;
struct ListSlot;
// Where the value read for a field or list element goes; nothing for an optional field
// given null.
using Slot = std::variant<std::monostate, std::string*, std::uint32_t*, std::uint8_t*, bool*,
                          RecordSlot, ListSlot>;

// A record being filled: its fields, and the slot of field `index` (told whether the
// value is null, so that an optional field reads as none).
struct RecordSlot {
  std::span<const FieldName> fields;
  std::function<Slot(std::size_t index, bool null)> field;
};

// A list being filled: `element` adds an element and answers its slot.
struct ListSlot {
  std::function<Slot()> element;
};

// The whole journal text into `journal`, the list of its records.
Status read_journal(std::string_view bytes, const ListSlot& journal);

template <class R>
inline constexpr auto field_names = std::apply(
    [](auto... field) {
      // A flag may be missing: it reads as not set.
      return std::array{FieldName{field.name,
                                  is_optional<typename decltype(field)::type> ||
                                      std::is_same_v<typename decltype(field)::type, bool>,
                                  field.added_later}...};
    },
    Table<R>::fields);

template <class M>
Slot slot_of(M& member, bool null = false) {
  if constexpr (is_optional<M>) {
    if (null) {
      member.reset();
      return std::monostate{};
    }
    return slot_of(member.emplace());
  } else if constexpr (std::is_constructible_v<Slot, M*>) {
    return &member;
  } else if constexpr (requires { member.emplace_back(); }) {
    return ListSlot{[&member] { return slot_of(member.emplace_back()); }};
  } else {
    static_assert(field_names<M>.size() <= 64, "the reader keeps one bit per field");
    return RecordSlot{
        field_names<M>, [&member](std::size_t index, bool null) {
          Slot slot;
          std::size_t i = 0;
          std::apply(
              [&](const auto&... f) {
                ((i++ == index ? void(slot = slot_of(member.*f.member, null)) : void()), ...);
              },
              Table<M>::fields);
          return slot;
        }};
  }
}

template <class R>
Result<std::vector<R>> read_records(std::string_view bytes) {
  std::vector<R> records;
  // Each element is filled before the next is added, so references to it stay valid.
  auto read = read_journal(bytes, std::get<ListSlot>(slot_of(records)));
  if (!read) return std::unexpected(std::move(read.error()));
  return records;
}

}  // namespace mossglow::journal
