#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop_listing.hpp"
#include "platform/file_system.hpp"
#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// How the program puts a file where the user sees it, so that a crash or a power cut
// leaves either the old file or the new one, whole, and never a torn or empty one.
// The new file is written under a temporary name beside its destination (same folder,
// so same volume and same inherited permissions), flushed, given its attributes, and
// then renamed in one step. A leftover temporary file is the program's own: the name
// is checked free before anything is journalled for the destination.

// The temporary name beside `destination`.
std::string placement_temporary(std::string_view destination);
// Whether a path is such a temporary name: the program's own file, never a user's item.
bool is_placement_temporary(std::string_view path);

// Fails when the temporary name beside `destination` is taken by a file that is not
// the program's (checked before anything is journalled for the destination).
Status require_free_temporary(const System& sys, std::string_view destination);

// Removes the temporary file beside `destination` if one is there (a leftover of an
// interrupted run), clearing a read-only bit first.
Status discard_temporary(const System& sys, std::string_view destination);

// The same checks answered from a listing of the desktops taken before (see
// DesktopListing): the taken name is reported, and a temporary file is removed only
// when the listing shows one. With no listing (a folder could not be listed) each
// destination is asked about on its own.
Status require_free_temporary(const DesktopListing& listing, std::string_view destination);
Status discard_listed_temporary(const System& sys, const std::optional<DesktopListing>& listing,
                                std::string_view destination);

// FlushFileBuffers on the file, also when it is read-only: the bit is cleared for the
// flush and set back, so the file ends with the attributes it had.
OsResult<void> flush_durably(FileSystem& files, std::string_view path);

enum class Placement {
  replace,  // over the file at the destination (MoveFileExW with replace)
  create,   // only when the destination's name is free (MoveFileExW without replace)
};

// The temporary file beside `destination` holds the complete new file: it is flushed,
// given `attributes` when set (and not already its own, `temporary_has`), and renamed
// to `destination`. On failure the temporary file is removed and `destination` is as
// it was.
Status put_in_place(const System& sys, std::string_view destination,
                    std::optional<std::uint32_t> attributes, Placement placement,
                    std::optional<std::uint32_t> temporary_has = std::nullopt);

// Copies `source` to the temporary file beside `destination`, then put_in_place. The
// temporary name must be free (checked before journalling, or cleared by the caller).
// The copy takes the source's attributes; when the caller knows them (`source_has`) and
// they are the ones wanted, they are not set again.
Status place_copy(const System& sys, std::string_view source, std::string_view destination,
                  std::optional<std::uint32_t> attributes, Placement placement,
                  std::optional<std::uint32_t> source_has = std::nullopt);

}  // namespace mossglow
