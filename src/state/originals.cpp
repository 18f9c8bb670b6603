#include "state/originals.hpp"

#include <algorithm>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/data_directory.hpp"

namespace mossglow {
namespace {

// The index a name in the folder starts with ("12" of "12.lnk" or "12.skin.lnk").
std::optional<std::size_t> leading_index(std::string_view name) {
  std::size_t digits = 0;
  while (digits < name.size() && digits < 18 && name[digits] >= '0' && name[digits] <= '9') {
    ++digits;
  }
  if (digits == 0 || digits == name.size() || name[digits] != '.') return std::nullopt;
  return std::stoull(std::string(name.substr(0, digits)));
}

}  // namespace

Result<OriginalsFolder> OriginalsFolder::open(const System& sys, std::string_view data_directory,
                                              std::size_t items) {
  OriginalsFolder folder(sys, originals_folder(data_directory));
  if (auto made = sys.files.create_directories(folder.path_); !made) {
    return sys.failure(made.error());
  }
  auto entries = sys.files.list_directory(folder.path_);
  if (!entries) return sys.failure(entries.error());
  folder.next_spare_ = items;
  for (const DirectoryEntry& entry : *entries) {
    folder.held_.emplace(ascii_lower(entry.name), Held{entry.size, entry.attributes});
    if (const auto index = leading_index(entry.name)) {
      folder.next_spare_ = std::max(folder.next_spare_, *index + 1);
    }
  }
  return folder;
}

// Names are built by appending: GCC 12 at -O3 warns falsely about a sum of strings here.
Result<std::string> OriginalsFolder::keep_copy(std::size_t index, std::string_view extension,
                                               std::string_view bytes) {
  std::string suffix(".");
  suffix.append(extension);
  return keep(index, suffix, bytes);
}

Result<std::string> OriginalsFolder::keep_staging(std::size_t index, std::string_view bytes) {
  return keep(index, ".skin.lnk", bytes);
}

bool OriginalsFolder::holds(const std::string& name, std::string_view bytes) const {
  const auto found = held_.find(ascii_lower(name));
  if (found == held_.end() || found->second.size != bytes.size() ||
      (found->second.attributes & settable_attributes) != file_attribute_archive) {
    return false;
  }
  const auto held = sys_->files.read_file(join_path(path_, name));
  return held && *held == bytes;
}

Result<std::string> OriginalsFolder::keep(std::size_t index, std::string_view suffix,
                                          std::string_view bytes) {
  for (;;) {
    std::string name = std::to_string(index);
    name.append(suffix);
    const std::string path = join_path(path_, name);
    if (holds(name, bytes)) {
      // Made by an apply that may have stopped before its flush: the journal is about to
      // rely on it as the only other place the original lives.
      if (auto flushed = sys_->files.flush_file(path); !flushed) {
        return sys_->failure(flushed.error());
      }
      return path;
    }
    if (!held_.contains(ascii_lower(name))) {
      // CREATE_NEW: a file that appeared since the listing is never written over.
      auto created = sys_->files.create_new_file(path, bytes, /*flush=*/true);
      if (created) {
        held_.emplace(ascii_lower(name), Held{bytes.size(), file_attribute_archive});
        return path;
      }
      if (created.error().code != error_file_exists) return sys_->failure(created.error());
      held_.emplace(ascii_lower(name), Held{~std::uint64_t{0}, 0});
    }
    index = next_spare_++;
  }
}

}  // namespace mossglow
