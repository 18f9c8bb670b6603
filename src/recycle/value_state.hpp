#pragma once

#include <optional>
#include <string_view>

#include "platform/registry.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"
#include "recycle/recycle_journal.hpp"

namespace mossglow {

// True for the codes that mean "there is no such value or key" rather than a failure.
bool is_not_found_code(Win32Error error);

// A value's state as it is now: none when it does not exist, its exact type and bytes,
// or the OS error text of any other failure (a type code above 11 included, which
// cannot be captured and so must not be mistaken for absence).
Result<std::optional<Raw>> read_value_state(const System& sys, const RegistryKey& key,
                                            std::string_view name);

}  // namespace mossglow
