// Placeholder until plain files and folders are covered: the apply step touches
// nothing and says so, and the restore step only answers whether an overlay journal
// is pending (which this version never writes). Listed as not built in the README.
#include "overlay/overlay_apply.hpp"
#include "overlay/overlay_restore.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {

Result<std::string> apply_overlay(const System&, const DesktopFolders&, std::string_view) {
  return std::string("普通文件和文件夹：此版本尚未处理，跳过或失败 0 个。");
}

Result<std::string> restore_overlay(const System& sys, std::string_view data_directory) {
  if (!journal_exists(sys.files, data_directory, overlay_journal_name)) {
    return std::string("没有文件或文件夹待还原。");
  }
  return std::unexpected(std::string("此版本尚不能还原文件和文件夹，overlay.json 已保留。"));
}

}  // namespace mossglow
