#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "platform/registry.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "recycle/journal.hpp"

namespace mossglow {

// The current user's Recycle Bin icon: the key's default value is the icon shown
// normally, "empty" and "full" the two states. Kept in this order everywhere.
inline constexpr std::string_view recycle_icon_subkey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\"
    "{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";
inline constexpr std::array<std::string_view, 3> recycle_icon_values{"", "empty", "full"};

// True for the codes that mean "there is no such value or key" rather than a failure.
bool is_not_found_code(Win32Error error);

// A value's state as it is now: none when it does not exist, its exact type and bytes,
// or the OS error text of any other failure (a type code above 11 included, which
// cannot be captured and so must not be mistaken for absence).
Result<std::optional<Raw>> read_value_state(const System& sys, const RegistryKey& key,
                                            std::string_view name);

}  // namespace mossglow
