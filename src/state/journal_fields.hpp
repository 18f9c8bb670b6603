#pragma once

#include <optional>
#include <string_view>

// The fields of each record type a journal holds, listed once, beside the type, and read
// by both the journal reader and the journal writer: a key is named in one place only.
namespace mossglow::journal {

// What a journal holds for an optional field that has no value.
enum class Absent {
  null,      // the key with null
  left_out,  // no key at all
};

// One field of a record type: its key, the member it fills, how an optional one without
// a value is written (any reading accepts both), and whether it came after the record's
// array form was first read (such an array may end before it: older journals still read).
template <class R, class M>
struct Field {
  using type = M;
  std::string_view name;
  M R::*member;
  Absent absent = Absent::null;
  bool added_later = false;
};

// Specialised beside each record type: `static constexpr std::tuple fields{Field{...}...}`
// in the order of the record's array form (and of its keys when written). Members are
// strings, u32 or u8 numbers, flags (bool; one that is missing reads as not set), records
// with a Table of their own, and vectors or optionals of those.
template <class R>
struct Table;

template <class T>
inline constexpr bool is_optional = false;
template <class T>
inline constexpr bool is_optional<std::optional<T>> = true;

}  // namespace mossglow::journal
