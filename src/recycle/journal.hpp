#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// One registry value exactly as stored: its type code and every byte of its data.
// Equal only when both the type and the bytes are.
struct Raw {
  std::uint32_t kind = 0;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const Raw&, const Raw&) = default;
};

// One Recycle Bin icon value, saved before the apply writes it.
struct Value {
  std::string name;             // "" for the key's default value, "empty" or "full"
  std::optional<Raw> original;  // the value before the apply; none when it did not exist
  Raw replacement;              // what the apply writes
  friend bool operator==(const Value&, const Value&) = default;
};

// The journal text: `original` written as null when none, every byte as a number.
Result<std::string> serialize_recycle_journal(const std::vector<Value>& records);

// The records of a journal text; unknown keys are ignored and a missing `original`
// reads as none. A missing `name`, `replacement`, `kind` or `bytes`, a kind beyond 32
// bits or a byte beyond 255 rejects the whole text with the parser's message.
Result<std::vector<Value>> parse_recycle_journal(std::string_view bytes);

Status save_recycle_journal(const System& sys, std::string_view data_directory,
                            const std::vector<Value>& records);

// Nothing when recycle.json does not exist, its records, or the read or parse error text.
Result<std::optional<std::vector<Value>>> load_recycle_journal(const System& sys,
                                                               std::string_view data_directory);

}  // namespace mossglow
