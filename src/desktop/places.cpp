#include "desktop/places.hpp"

#include <nlohmann/json.hpp>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/journal_json.hpp"

namespace mossglow {
namespace {

constexpr std::string_view remembered_name = "desktops.json";
constexpr std::string_view keys[] = {"user_desktop", "public_desktop"};
constexpr std::string_view unresolved = "找不到桌面文件夹，已保留记录：";
constexpr std::string_view left_behind = "桌面已移到别处，此项目仍在原来的文件夹中，已保留记录";

std::optional<DesktopFolders> remembered_desktops(const System& sys,
                                                  std::string_view data_directory) {
  auto bytes = sys.files.read_file(join_path(data_directory, remembered_name));
  if (!bytes) return std::nullopt;
  // Damaged or hand-made, it remembers nothing: records off today's desktops are kept.
  const auto parsed = nlohmann::json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_object()) return std::nullopt;
  DesktopFolders folders;
  for (std::size_t k = 0; k < folders.size(); ++k) {
    const auto it = parsed.find(keys[k]);
    if (it == parsed.end() || !it->is_string()) return std::nullopt;
    folders[k] = it->get<std::string>();
  }
  return folders;
}

}  // namespace

Status remember_desktops(const System& sys, std::string_view data_directory,
                         const DesktopFolders& desktops) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (std::size_t k = 0; k < desktops.size(); ++k) object[std::string(keys[k])] = desktops[k];
  // A folder name the JSON text cannot hold is refused here, as a journal would refuse it.
  for (const std::string& desktop : desktops) {
    if (!is_valid_utf8(desktop)) return std::unexpected(std::string(invalid_path_text));
  }
  const std::string text = object.dump(2, ' ', /*ensure_ascii=*/false);
  return with_os_text(sys.messages, sys.files.write_file(join_path(data_directory, remembered_name),
                                                         text, /*flush=*/true));
}

Status forget_desktops(const System& sys, std::string_view data_directory) {
  auto deleted = sys.files.delete_file(join_path(data_directory, remembered_name));
  if (!deleted && !is_not_found(deleted.error())) return sys.failure(deleted.error());
  return {};
}

DesktopPlaces DesktopPlaces::survey(const System& sys,
                                    const std::array<Result<std::string>, 2>& now,
                                    std::string_view data_directory) {
  DesktopPlaces places;
  const auto remembered = remembered_desktops(sys, data_directory);
  for (std::size_t k = 0; k < now.size(); ++k) {
    Desktop& desktop = places.desktops_[k];
    desktop.now = now[k];
    if (remembered) desktop.remembered = (*remembered)[k];
  }
  const auto is_desktop_now = [&](std::string_view folder) {
    for (const Desktop& desktop : places.desktops_) {
      if (desktop.now && same_place(*desktop.now, folder)) return true;
    }
    return false;
  };
  for (std::size_t k = 0; k < now.size(); ++k) {
    Desktop& desktop = places.desktops_[k];
    if (desktop.now) {
      // Both desktops may be one folder (a redirected profile): it is listed once.
      if (k == 1 && places.desktops_[0].now && same_place(*places.desktops_[0].now, *desktop.now)) {
        desktop.listing_error = places.desktops_[0].listing_error;
      } else if (auto entries = sys.files.list_directory(*desktop.now)) {
        for (const DirectoryEntry& entry : *entries) {
          ListedEntry listed{join_path(*desktop.now, entry.name), entry.attributes, entry.size,
                             entry.reparse_tag};
          places.entries_.emplace(ascii_lower(listed.path), std::move(listed));
        }
      } else {
        desktop.listing_error = sys.os_text(entries.error());
      }
    }
    // A remembered desktop that is no longer one: whatever it still holds stays there.
    if (desktop.remembered && !is_desktop_now(*desktop.remembered)) {
      auto entries = sys.files.list_directory(*desktop.remembered);
      if (entries) {
        for (const DirectoryEntry& entry : *entries) {
          places.left_behind_.insert(ascii_lower(join_path(*desktop.remembered, entry.name)));
        }
      } else if (!is_not_found(entries.error())) {
        desktop.remembered_error = sys.os_text(entries.error());
      }
    }
  }
  return places;
}

Result<std::string> DesktopPlaces::locate(std::string_view journal_path,
                                          std::string_view elsewhere) const {
  const std::string_view name = file_name(journal_path);
  if (auto reason = unsafe_name_reason(name)) return std::unexpected(std::string(*reason));
  for (const Desktop& desktop : desktops_) {
    if (desktop.now && is_direct_child(journal_path, *desktop.now)) {
      if (desktop.listing_error) return std::unexpected(*desktop.listing_error);
      // Spelled as today's folder is, so that the listing answers for it.
      return join_path(*desktop.now, name);
    }
  }
  for (const Desktop& desktop : desktops_) {
    if (!desktop.remembered || !is_direct_child(journal_path, *desktop.remembered)) continue;
    if (!desktop.now) return std::unexpected(std::string(unresolved) + desktop.now.error());
    if (desktop.remembered_error) return std::unexpected(*desktop.remembered_error);
    if (left_behind_.contains(ascii_lower(journal_path))) {
      return std::unexpected(std::string(left_behind));
    }
    if (desktop.listing_error) return std::unexpected(*desktop.listing_error);
    return join_path(*desktop.now, name);
  }
  // Off every desktop that resolved: one that did not is the likelier place.
  for (const Desktop& desktop : desktops_) {
    if (!desktop.now) return std::unexpected(std::string(unresolved) + desktop.now.error());
  }
  return std::unexpected(std::string(elsewhere));
}

const ListedEntry* DesktopPlaces::entry(std::string_view located_path) const {
  const auto it = entries_.find(ascii_lower(located_path));
  return it == entries_.end() ? nullptr : &it->second;
}

std::vector<std::string> DesktopPlaces::resolved() const {
  std::vector<std::string> folders;
  for (const Desktop& desktop : desktops_) {
    if (desktop.now) folders.push_back(*desktop.now);
  }
  return folders;
}

}  // namespace mossglow
