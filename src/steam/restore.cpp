#include "steam/restore.hpp"

#include "desktop/writes.hpp"
#include "platform/file_system.hpp"
#include "platform/path.hpp"
#include "state/content_hash.hpp"
#include "steam/conversion.hpp"

namespace mossglow {

namespace {

constexpr std::string_view other_file_in_place = "原位置出现了不同的文件，已保留现有文件和备份";
constexpr std::string_view link_modified = "生成的 Steam 快捷方式已被修改，已保留现有文件和备份";
constexpr std::string_view restored_differs = "还原后的快捷方式校验失败，已保留Brambun快捷方式";
constexpr std::string_view link_misplaced = "记录的 Steam 快捷方式不在原快捷方式旁边，已保留记录";

std::unexpected<std::string> refuse(std::string_view reason) {
  return std::unexpected(std::string(reason));
}

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
// Once the record is complete the link was whole and flushed when the .url went, so
// while the .url is still gone nothing but the whole link is the program's; with the
// .url back, only the link is left to undo, and a cut-short copy of the program's own
// bytes is nobody's work worth keeping.
Result<bool> is_generated_link(const System& sys, std::string_view link, const SteamRestore& steam,
                               bool url_back) {
  auto bytes = sys.files.read_file(link);
  if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
  if (!steam.record.replacement_hash) return false;
  if (hashes_to(*bytes, steam.record.replacement_hash)) return true;
  if (steam.record.complete && !url_back) return false;
  const auto staged = staged_link(sys, steam.originals_directory, steam.record);
  return staged && is_interrupted_creation(*bytes, *staged);
}

}  // namespace

Result<SteamPlan> examine_steam_shortcut(const System& sys, const DesktopPlaces& places,
                                         const SteamRestore& steam) {
  const Record& record = steam.record;
  // The apply writes the link beside the .url under the same stem, and nowhere else.
  if (!has_extension(record.path, "url") ||
      record.replacement_path != steam_link_path(record.path) ||
      steam.link != steam_link_path(steam.url)) {
    return refuse(link_misplaced);
  }
  SteamPlan plan;
  // The .url is the original, or what putting it back left when a restore stopped (only
  // a restore that said so first, by clearing the record's completeness).
  if (const ListedEntry* url = places.entry(steam.url)) {
    auto bytes = sys.files.read_file(steam.url);
    if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
    plan.url_attributes = url->attributes;
    plan.url_bytes = std::move(*bytes);
    if (plan.url_bytes == steam.original) {
      plan.url = SteamPlan::Url::whole;
    } else if (!record.complete && is_interrupted_creation(plan.url_bytes, steam.original)) {
      plan.url = SteamPlan::Url::cut_short;
    } else {
      return refuse(other_file_in_place);
    }
  }
  // Only a link proven to be the generated one may be deleted.
  if (places.entry(steam.link) != nullptr) {
    auto generated = is_generated_link(sys, steam.link, steam, plan.url == SteamPlan::Url::whole);
    if (!generated) return std::unexpected(generated.error());
    if (!*generated) return refuse(link_modified);
    plan.link = true;
  }
  // The attributes the .url had; a journal of an earlier version has them on the copy.
  plan.wanted = file_attribute_archive;
  if (record.attributes) {
    plan.wanted = *record.attributes;
  } else if (auto copied = sys.files.get_attributes(record.backup)) {
    plan.wanted = *copied;
  }
  plan.wanted &= settable_attributes;
  return plan;
}

WriteResult<void> finish_steam_shortcut(const System& sys, const SteamRestore& steam,
                                        const SteamPlan& plan) {
  const auto failed = [](std::string text, bool touched) {
    return std::unexpected(WriteFailure{std::move(text), touched});
  };
  const std::string url(steam.url);
  switch (plan.url) {
    case SteamPlan::Url::missing:
      if (auto created = create_on_desktop(sys, url, steam.original, plan.wanted); !created) {
        return created;
      }
      break;
    case SteamPlan::Url::cut_short: {
      const auto finished = rewrite_in_place(sys, url, plan.url_bytes, steam.original,
                                             plan.url_attributes, plan.wanted);
      if (!finished) return std::unexpected(finished.error());
      if (*finished == InPlace::differs) return failed(std::string(other_file_in_place), false);
      break;
    }
    case SteamPlan::Url::whole: {
      // Whole, perhaps only in the cache: put back by a restore that stopped before its
      // flush (and before it could give the attributes), or never deleted by the apply.
      // Attributes other than a new file's are someone's choice and stay.
      const std::uint32_t now = plan.url_attributes & settable_attributes;
      const std::uint32_t wanted = now == file_attribute_archive ? plan.wanted : now;
      if (auto settled = settle_file(sys, url, plan.url_attributes, wanted); !settled) {
        return failed(settled.error(), false);
      }
      break;
    }
  }
  if (auto same = expect_content_hash(sys, url, steam.record.original_hash, restored_differs);
      !same) {
    return failed(same.error(), true);
  }
  if (plan.link) {
    auto deleted = sys.files.delete_file(steam.link);
    if (!deleted && !is_not_found(deleted.error()))
      return failed(sys.os_text(deleted.error()), true);
  }
  return {};
}

}  // namespace mossglow
