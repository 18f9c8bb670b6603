#pragma once

#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Copies a file to a name that must not exist yet and flushes the copy to disk, so that
// whatever lies at the destination is never overwritten and the copy survives a power
// cut before the caller deletes anything that depends on it. A partly written
// destination is left in place.
Status copy_file_exclusive(const System& sys, std::string_view from, std::string_view to);

}  // namespace mossglow
