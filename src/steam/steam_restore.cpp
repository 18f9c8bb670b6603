#include "steam/steam_restore.hpp"

#include "platform/file_system.hpp"
#include "shell/notifications.hpp"
#include "state/content_hash.hpp"
#include "steam/copy_exclusive.hpp"
#include "steam/hash_check.hpp"

namespace mossglow {
namespace {

constexpr std::string_view other_file_in_place = "原位置出现了不同的文件，已保留现有文件和备份";
constexpr std::string_view link_modified = "生成的 Steam 快捷方式已被修改，已保留现有文件和备份";
constexpr std::string_view restored_differs = "还原后的快捷方式校验失败，已保留Brambun快捷方式";

}  // namespace

Status restore_steam_shortcut(const System& sys, const Record& record) {
  const std::string& url = record.path;
  const std::string& link = *record.replacement_path;

  if (path_exists(sys.files, url)) {
    if (auto same = expect_content_hash(sys, url, record.original_hash, other_file_in_place);
        !same) {
      return same;
    }
  }
  // Only a link proven to be the generated one may be deleted below.
  const bool link_verified = path_exists(sys.files, link);
  if (link_verified) {
    if (auto same = expect_content_hash(sys, link, record.replacement_hash, link_modified); !same) {
      return same;
    }
  }
  if (!path_exists(sys.files, url)) {
    if (auto copied = copy_file_exclusive(sys, record.backup, url); !copied) return copied;
  }
  if (auto same = expect_content_hash(sys, url, record.original_hash, restored_differs); !same) {
    return same;
  }
  if (link_verified && path_exists(sys.files, link)) {
    if (auto deleted = sys.files.delete_file(link); !deleted) {
      return std::unexpected(sys.os_text(deleted.error()));
    }
  }
  notify_replaced(sys.shell, link, url);
  return {};
}

}  // namespace mossglow
