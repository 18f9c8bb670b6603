#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/system.hpp"

namespace mossglow {

// The originals folder in the data directory: the byte-exact copy of every shortcut an
// apply changed ("<index>.<extension>") and the staging link of every Steam conversion
// ("<index>.skin.lnk"). A copy is the only other place an original lives, and a user may
// delete the journals by hand and apply again: so nothing in the folder is ever deleted,
// and no name in it is ever given other bytes than it holds. When the name an item would
// take holds other bytes, the item takes the next free index instead (still of the form
// a restore trusts); a name whose file holds the same bytes is taken again (flushed
// first, since the apply that made it may have stopped before its flush), so a desktop
// dressed and restored again and again does not grow the folder.
class OriginalsFolder {
 public:
  // Creates the folder (with the data directory) when missing and lists what it holds.
  // `items` is the number of indexes this apply gives out in order; spare ones follow.
  static Result<OriginalsFolder> open(const System& sys, std::string_view data_directory,
                                      std::size_t items);

  const std::string& path() const { return path_; }

  // Keeps `bytes`, the original of the item with this index (a shortcut whose extension
  // is `extension`, letter case kept), flushed to disk before the copy's path is
  // returned.
  Result<std::string> keep_copy(std::size_t index, std::string_view extension,
                                std::string_view bytes);
  // Keeps a Steam conversion's link the same way, as "<index>.skin.lnk".
  Result<std::string> keep_staging(std::size_t index, std::string_view bytes);

 private:
  OriginalsFolder(const System& sys, std::string path) : sys_(&sys), path_(std::move(path)) {}
  Result<std::string> keep(std::size_t index, std::string_view suffix, std::string_view bytes);
  // Whether the file of that name holds exactly these bytes, and is a plain file as the
  // program makes its copies (a copy an earlier version made carries its shortcut's
  // attributes, which a restore of that version's journal reads from it).
  bool holds(const std::string& name, std::string_view bytes) const;

  struct Held {
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
  };
  const System* sys_;
  std::string path_;
  std::map<std::string, Held> held_;  // by folded name, every file in the folder
  std::size_t next_spare_ = 0;
};

}  // namespace mossglow
