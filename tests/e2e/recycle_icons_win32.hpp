#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace mossglow::e2e {

// One registry value exactly as stored: its type and its bytes.
struct RegistryValue {
  std::uint32_t type = 0;
  std::string bytes;
  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// The Recycle Bin's three icon values of the current user (default, "empty", "full");
// nothing for a value that is absent.
using RecycleIcons = std::array<std::optional<RegistryValue>, 3>;

RecycleIcons read_recycle_icons();

// Sets what a user's profile may hold before an apply: no default value, "empty" as an
// expandable string and "full" as a plain string, both naming the system's own icons.
RecycleIcons seed_recycle_icons();

// A REG_SZ value's bytes: the text as UTF-16 with its terminating NUL.
RegistryValue string_value(const std::string& text);

}  // namespace mossglow::e2e
