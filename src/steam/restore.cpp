#include "steam/restore.hpp"

#include "platform/file_system.hpp"
#include "platform/path.hpp"
#include "state/content_hash.hpp"
#include "state/placement.hpp"
#include "steam/conversion.hpp"

namespace mossglow {

namespace {

constexpr std::string_view other_file_in_place = "原位置出现了不同的文件，已保留现有文件和备份";
constexpr std::string_view link_modified = "生成的 Steam 快捷方式已被修改，已保留现有文件和备份";
constexpr std::string_view restored_differs = "还原后的快捷方式校验失败，已保留Brambun快捷方式";
constexpr std::string_view link_misplaced = "记录的 Steam 快捷方式不在原快捷方式旁边，已保留记录";

}  // namespace

Status restore_steam_shortcut(const System& sys, const std::optional<DesktopListing>& leftovers,
                              const Record& record) {
  const std::string& url = record.path;
  const std::string& link = *record.replacement_path;
  // The apply writes the link beside the .url under the same stem, and nowhere else.
  if (!has_extension(url, "url") || link != steam_link_path(url)) {
    return std::unexpected(std::string(link_misplaced));
  }
  // Leftovers of an interrupted copy; the names are the program's own.
  if (auto cleared = discard_listed_temporary(sys, leftovers, url); !cleared) return cleared;
  if (auto cleared = discard_listed_temporary(sys, leftovers, link); !cleared) return cleared;

  auto url_there = sys.exists(url);
  if (!url_there) return std::unexpected(url_there.error());
  if (*url_there) {
    if (auto same = expect_content_hash(sys, url, record.original_hash, other_file_in_place);
        !same) {
      return same;
    }
  }
  // Only a link proven to be the generated one may be deleted below.
  auto link_there = sys.exists(link);
  if (!link_there) return std::unexpected(link_there.error());
  if (*link_there) {
    if (auto same = expect_content_hash(sys, link, record.replacement_hash, link_modified); !same) {
      return same;
    }
  }
  if (!*url_there) {
    // Back whole or not at all, with the attributes the .url had.
    auto attributes = sys.files.get_attributes(record.backup);
    if (!attributes) return sys.failure(attributes.error());
    if (auto placed = place_copy(sys, record.backup, url, *attributes, Placement::create);
        !placed) {
      return placed;
    }
  }
  if (auto same = expect_content_hash(sys, url, record.original_hash, restored_differs); !same) {
    return same;
  }
  if (*link_there) {
    auto deleted = sys.files.delete_file(link);
    if (!deleted && deleted.error().code != error_file_not_found) {
      return sys.failure(deleted.error());
    }
  }
  return {};
}

}  // namespace mossglow
