#include "state/placement.hpp"

#include "platform/text.hpp"

namespace mossglow {
namespace {

constexpr std::string_view temporary_suffix = ".mossglow-tmp";
constexpr std::string_view temporary_taken = "临时文件名已被占用：";

// Attributes for SetFileAttributesW: 0 would mean "leave as is" to some callers, and
// FILE_ATTRIBUTE_NORMAL is the documented word for "none".
std::uint32_t attribute_word(std::uint32_t attributes) {
  return attributes != 0 ? attributes : file_attribute_normal;
}

}  // namespace

std::string placement_temporary(std::string_view destination) {
  std::string temporary(destination);
  temporary += temporary_suffix;
  return temporary;
}

bool is_placement_temporary(std::string_view path) { return path.ends_with(temporary_suffix); }

Status require_free_temporary(const System& sys, std::string_view destination) {
  const std::string temporary = placement_temporary(destination);
  auto taken = sys.exists(temporary);
  if (!taken) return std::unexpected(taken.error());
  if (*taken) return std::unexpected(std::string(temporary_taken) + path_display_text(temporary));
  return {};
}

Status discard_temporary(const System& sys, std::string_view destination) {
  const std::string temporary = placement_temporary(destination);
  auto attributes = sys.files.get_attributes(temporary);
  if (!attributes) {
    if (is_not_found(attributes.error())) return {};
    return sys.failure(attributes.error());
  }
  if ((*attributes & file_attribute_readonly) != 0) {
    (void)sys.files.set_attributes(temporary,
                                   attribute_word(*attributes & ~file_attribute_readonly));
  }
  if (auto deleted = sys.files.delete_file(temporary); !deleted) {
    return sys.failure(deleted.error());
  }
  return {};
}

Status require_free_temporary(const DesktopListing& listing, std::string_view destination) {
  const std::string temporary = placement_temporary(destination);
  if (listing.contains(temporary)) {
    return std::unexpected(std::string(temporary_taken) + path_display_text(temporary));
  }
  return {};
}

Status discard_listed_temporary(const System& sys, const std::optional<DesktopListing>& listing,
                                std::string_view destination) {
  if (listing && !listing->contains(placement_temporary(destination))) return {};
  return discard_temporary(sys, destination);
}

OsResult<void> flush_durably(FileSystem& files, std::string_view path) {
  auto flushed = files.flush_file(path);
  if (flushed || flushed.error().code != error_access_denied) return flushed;
  // A read-only file cannot be opened for writing, and only a handle with write access
  // can be flushed.
  const auto attributes = files.get_attributes(path);
  if (!attributes || (*attributes & file_attribute_readonly) == 0) return flushed;
  if (auto cleared =
          files.set_attributes(path, attribute_word(*attributes & ~file_attribute_readonly));
      !cleared) {
    return cleared;
  }
  flushed = files.flush_file(path);
  auto restored = files.set_attributes(path, *attributes);
  if (!flushed) return flushed;
  return restored;
}

Status put_in_place(const System& sys, std::string_view destination,
                    std::optional<std::uint32_t> attributes, Placement placement,
                    std::optional<std::uint32_t> temporary_has) {
  if (attributes && temporary_has == attributes) attributes.reset();
  const std::string temporary = placement_temporary(destination);
  auto moved = [&]() -> OsResult<void> {
    if (auto flushed = flush_durably(sys.files, temporary); !flushed) return flushed;
    if (attributes) {
      if (auto set = sys.files.set_attributes(temporary, attribute_word(*attributes)); !set) {
        return set;
      }
    }
    return placement == Placement::replace ? sys.files.rename_replace(temporary, destination)
                                           : sys.files.rename_new(temporary, destination);
  }();
  if (!moved) {
    (void)discard_temporary(sys, destination);
    return sys.failure(moved.error());
  }
  return {};
}

Status place_copy(const System& sys, std::string_view source, std::string_view destination,
                  std::optional<std::uint32_t> attributes, Placement placement,
                  std::optional<std::uint32_t> source_has) {
  if (auto copied = sys.files.copy_file(source, placement_temporary(destination)); !copied) {
    (void)discard_temporary(sys, destination);
    return sys.failure(copied.error());
  }
  return put_in_place(sys, destination, attributes, placement, source_has);
}

}  // namespace mossglow
