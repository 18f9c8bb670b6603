#include "desktop/writes.hpp"

#include <algorithm>

namespace mossglow {
namespace {

constexpr std::uint32_t touched_by_rewrite = file_attribute_readonly | file_attribute_archive;

}  // namespace

std::uint32_t attributes_after_rewrite(std::uint32_t now, std::optional<std::uint32_t> recorded) {
  now &= settable_attributes;
  if (!recorded) return now;
  return (now & ~touched_by_rewrite) | (*recorded & touched_by_rewrite);
}

WriteResult<InPlace> rewrite_in_place(const System& sys, std::string_view path,
                                      std::string_view expected, std::string_view bytes,
                                      std::uint32_t now, std::uint32_t wanted) {
  const auto failed = [&sys](Win32Error error, bool touched) {
    return std::unexpected(WriteFailure{sys.os_text(error), touched});
  };
  now &= settable_attributes;
  wanted &= settable_attributes;
  const bool read_only = (now & file_attribute_readonly) != 0;
  // Only a handle with write access can write, and a read-only file refuses one.
  if (read_only) {
    if (auto cleared =
            sys.files.set_attributes(path, attribute_word(now & ~file_attribute_readonly));
        !cleared) {
      return failed(cleared.error(), false);
    }
  }
  const auto written = sys.files.write_in_place(path, expected, bytes);
  if (!written || *written == InPlace::differs) {
    // Given back; where that fails the file is left other than it was.
    const bool restored =
        !read_only || sys.files.set_attributes(path, attribute_word(now)).has_value();
    if (!written) return failed(written.error().error, written.error().touched || !restored);
    if (!restored) return std::unexpected(WriteFailure{sys.os_text({error_access_denied}), true});
    return InPlace::differs;
  }
  // A write sets the archive bit, as every change of a file does.
  const std::uint32_t left = (now & ~file_attribute_readonly) | file_attribute_archive;
  if (wanted != left) {
    if (auto set = sys.files.set_attributes(path, attribute_word(wanted)); !set) {
      return failed(set.error(), true);
    }
  }
  return InPlace::written;
}

Status settle_file(const System& sys, std::string_view path, std::uint32_t now,
                   std::uint32_t wanted) {
  now &= settable_attributes;
  wanted &= settable_attributes;
  // What the program may not write holds nothing of its own still to be flushed.
  const auto unless_refused = [&sys](Win32Error error) -> Status {
    if (is_write_refused(error)) return {};
    return sys.failure(error);
  };
  std::uint32_t has = now;
  if ((now & file_attribute_readonly) != 0) {
    has = now & ~file_attribute_readonly;
    if (auto cleared = sys.files.set_attributes(path, attribute_word(has)); !cleared) {
      return unless_refused(cleared.error());
    }
  }
  if (auto flushed = sys.files.flush_file(path); !flushed) {
    if (has != now) (void)sys.files.set_attributes(path, attribute_word(now));
    return unless_refused(flushed.error());
  }
  if (has != wanted) {
    if (auto set = sys.files.set_attributes(path, attribute_word(wanted)); !set) {
      return unless_refused(set.error());
    }
  }
  return {};
}

WriteResult<void> create_on_desktop(const System& sys, std::string_view path,
                                    std::string_view bytes,
                                    std::optional<std::uint32_t> attributes) {
  if (auto created = sys.files.create_new_file(path, bytes, /*flush=*/true); !created) {
    // CREATE_NEW refused leaves no file; one created and then cut short stays. A name
    // taken by someone else is theirs, whatever it holds.
    const bool ours =
        created.error().code != error_file_exists && entry_exists(sys.files, path).value_or(true);
    return std::unexpected(WriteFailure{sys.os_text(created.error()), ours});
  }
  if (attributes && (*attributes & settable_attributes) != file_attribute_archive) {
    if (auto set = sys.files.set_attributes(path, attribute_word(*attributes)); !set) {
      return std::unexpected(WriteFailure{sys.os_text(set.error()), true});
    }
  }
  return {};
}

bool is_interrupted_rewrite(std::string_view found, std::string_view a, std::string_view b) {
  const std::size_t shorter = std::min(a.size(), b.size());
  const std::size_t longer = std::max(a.size(), b.size());
  if (found.size() < shorter || found.size() > longer) return false;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const char byte = found[i];
    if (i < a.size() && byte == a[i]) continue;
    if (i < b.size() && byte == b[i]) continue;
    if (i >= shorter && byte == '\0') continue;
    return false;
  }
  return true;
}

bool is_interrupted_creation(std::string_view found, std::string_view intended) {
  if (found.size() > intended.size()) return false;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i] != intended[i] && found[i] != '\0') return false;
  }
  return true;
}

}  // namespace mossglow
