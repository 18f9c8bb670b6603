#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// How the program writes on a desktop, and how a restore recognises one of its own
// writes that a crash or a power cut stopped halfway.
//
// A file the user owns (a shortcut, an original put back) is rewritten in place, as
// Windows programs edit a shortcut: it stays the same file, keeps its place on
// Explorer's grid, and no other name ever appears beside it. A file of the program's
// own (an overlay or Steam link, a Steam shortcut put back) is created under its own
// name, only where that name is free. Either way the journal names the new bytes before
// the write begins, so whatever a stop leaves can be proven (see below) and finished.

// A write on a desktop that did not happen or did not finish: its text, and whether the
// file may now be other than it was. A write refused before it began (no permission to
// write, a lock, a name taken) left the file as it was, so an apply need not keep a
// record of it.
struct WriteFailure {
  std::string text;
  bool touched = false;
};
template <class T>
using WriteResult = std::expected<T, WriteFailure>;

// The attributes a rewritten file must end with: the bits the rewrite itself touches
// (read-only, cleared for the write; archive, which a write sets) as `recorded` says,
// every other bit as the file has it now. With nothing recorded the file keeps what it
// has now.
std::uint32_t attributes_after_rewrite(std::uint32_t now, std::optional<std::uint32_t> recorded);

// Rewrites the existing file at `path` in place with `bytes`, only while it holds
// exactly `expected`: the file is checked through the handle that writes, so a change
// made up to the last moment is never written over (InPlace::differs, nothing written).
// A read-only file has the bit cleared for the write and set again; afterwards the file
// is given `wanted` when that is not what the write left (`now` is what it has before).
WriteResult<InPlace> rewrite_in_place(const System& sys, std::string_view path,
                                      std::string_view expected, std::string_view bytes,
                                      std::uint32_t now, std::uint32_t wanted);

// Settles a file that already holds what it should: it is flushed, since a write
// stopped between its bytes and its flush may have left them only in the cache (a
// read-only file has the bit cleared for the flush), and given `wanted` when it has
// other attributes (`now`). A file the program may not write cannot hold a write of the
// program's that is still to be flushed, nor can it be given anything: it is settled
// as it is.
Status settle_file(const System& sys, std::string_view path, std::uint32_t now,
                   std::uint32_t wanted);

// Creates `path` as a new file (it must not exist) holding `bytes`, flushed, with
// `attributes` when they are other than what a new file gets.
WriteResult<void> create_on_desktop(const System& sys, std::string_view path,
                                    std::string_view bytes,
                                    std::optional<std::uint32_t> attributes = std::nullopt);

// Whether `found` is what rewriting a file in place from one of two versions to the
// other (either way) can leave when stopped: a length between the two lengths, and at
// every offset the byte of either version, or a zero past the shorter one's end (a file
// extended before its bytes arrived). Both versions themselves count.
bool is_interrupted_rewrite(std::string_view found, std::string_view a, std::string_view b);

// Whether `found` is what creating a new file with `intended` can leave when stopped:
// no longer than it, and at every offset the intended byte or a zero. An empty file
// counts; so does the intended file itself.
bool is_interrupted_creation(std::string_view found, std::string_view intended);

}  // namespace mossglow
