#include "steam/restore.hpp"

#include "platform/file_system.hpp"
#include "platform/path.hpp"
#include "state/content_hash.hpp"
#include "state/desktop_writes.hpp"
#include "steam/conversion.hpp"

namespace mossglow {

namespace {

constexpr std::string_view other_file_in_place = "原位置出现了不同的文件，已保留现有文件和备份";
constexpr std::string_view link_modified = "生成的 Steam 快捷方式已被修改，已保留现有文件和备份";
constexpr std::string_view restored_differs = "还原后的快捷方式校验失败，已保留Brambun快捷方式";
constexpr std::string_view link_misplaced = "记录的 Steam 快捷方式不在原快捷方式旁边，已保留记录";

Status refuse(std::string_view reason) { return std::unexpected(std::string(reason)); }

// The bytes the conversion gave the desktop link, from its staging copy in the originals
// folder: the staging link there that holds the recorded hash (under the record's index,
// or another when that name held other bytes). Nothing when none does.
std::optional<std::string> staged_link(const System& sys, std::string_view originals,
                                       const Record& record) {
  auto entries = sys.files.list_directory(originals);
  if (!entries) return std::nullopt;
  for (const DirectoryEntry& entry : *entries) {
    if (!entry.name.ends_with(".skin.lnk")) continue;
    auto bytes = sys.files.read_file(join_path(originals, entry.name));
    if (bytes && hashes_to(*bytes, record.replacement_hash)) return std::move(*bytes);
  }
  return std::nullopt;
}

// Whether the file at the link's place is the generated link: the recorded one, or what
// creating it left when the apply stopped (an empty or partly written file of its bytes).
Result<bool> is_generated_link(const System& sys, std::string_view link,
                               const SteamRestore& steam) {
  auto bytes = sys.files.read_file(link);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  if (!steam.record.replacement_hash) return false;
  if (hashes_to(*bytes, steam.record.replacement_hash)) return true;
  const auto staged = staged_link(sys, steam.originals_directory, steam.record);
  return staged && is_interrupted_creation(*bytes, *staged);
}

}  // namespace

Status restore_steam_shortcut(const System& sys, const DesktopPlaces& places,
                              const SteamRestore& steam) {
  const Record& record = steam.record;
  // The apply writes the link beside the .url under the same stem, and nowhere else.
  if (!has_extension(record.path, "url") ||
      record.replacement_path != steam_link_path(record.path) ||
      steam.link != steam_link_path(steam.url)) {
    return refuse(link_misplaced);
  }
  const std::string url(steam.url);
  const std::string link(steam.link);
  const ListedEntry* url_entry = places.entry(url);
  const ListedEntry* link_entry = places.entry(link);

  // The .url is the original, or what putting it back left when a restore stopped.
  bool url_complete = false;
  if (url_entry != nullptr) {
    auto bytes = sys.files.read_file(url);
    if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
    url_complete = *bytes == steam.original;
    if (!url_complete && !is_interrupted_creation(*bytes, steam.original)) {
      return refuse(other_file_in_place);
    }
  }
  // Only a link proven to be the generated one may be deleted below.
  if (link_entry != nullptr) {
    auto generated = is_generated_link(sys, link, steam);
    if (!generated) return std::unexpected(generated.error());
    if (!*generated) return refuse(link_modified);
  }

  // The attributes the .url had; a journal of an earlier version has them on the copy.
  std::uint32_t wanted = file_attribute_archive;
  if (record.attributes) {
    wanted = *record.attributes;
  } else if (auto copied = sys.files.get_attributes(record.backup)) {
    wanted = *copied;
  }
  wanted &= settable_attributes;
  if (url_entry == nullptr) {
    if (auto created = create_on_desktop(sys, url, steam.original, wanted); !created) {
      return created;
    }
  } else if (!url_complete) {
    if (auto finished = rewrite_in_place(sys, url, steam.original, url_entry->attributes, wanted);
        !finished) {
      return finished;
    }
  } else {
    // Whole, perhaps only in the cache: put back by a restore that stopped before its
    // flush (and before it could give the attributes), or never deleted by the apply.
    if (auto durable = make_durable(sys, url, url_entry->attributes); !durable) return durable;
    if ((url_entry->attributes & settable_attributes) == file_attribute_archive &&
        wanted != file_attribute_archive) {
      if (auto set = sys.files.set_attributes(url, attribute_word(wanted)); !set) {
        return sys.failure(set.error());
      }
    }
  }
  if (auto same = expect_content_hash(sys, url, record.original_hash, restored_differs); !same) {
    return same;
  }
  if (link_entry != nullptr) {
    auto deleted = sys.files.delete_file(link);
    if (!deleted && !is_not_found(deleted.error())) return sys.failure(deleted.error());
  }
  return {};
}

}  // namespace mossglow
