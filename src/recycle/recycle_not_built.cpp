// Placeholder until the Recycle Bin icon is changed: the apply step leaves the
// registry alone and says so, and the restore step only answers whether a recycle
// journal is pending (which this version never writes). Listed as not built in the README.
#include "recycle/recycle_apply.hpp"
#include "recycle/recycle_restore.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {

Result<std::string> apply_recycle_icon(const System&, std::string_view) {
  return std::string("回收站：此版本尚未更换图标。");
}

Result<std::string> restore_recycle_icon(const System& sys, std::string_view data_directory) {
  if (!journal_exists(sys.files, data_directory, recycle_journal_name)) {
    return std::string("回收站没有待还原的设置。");
  }
  return std::unexpected(std::string("此版本尚不能还原回收站图标，recycle.json 已保留。"));
}

}  // namespace mossglow
