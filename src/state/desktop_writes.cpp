#include "state/desktop_writes.hpp"

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

Status rewrite_in_place(const System& sys, std::string_view path, std::string_view bytes,
                        std::uint32_t now, std::uint32_t wanted) {
  now &= settable_attributes;
  wanted &= settable_attributes;
  const bool read_only = (now & file_attribute_readonly) != 0;
  // Only a handle with write access can write, and a read-only file refuses one.
  if (read_only) {
    if (auto cleared =
            sys.files.set_attributes(path, attribute_word(now & ~file_attribute_readonly));
        !cleared) {
      return sys.failure(cleared.error());
    }
  }
  if (auto written = sys.files.write_in_place(path, bytes); !written) {
    if (read_only) (void)sys.files.set_attributes(path, attribute_word(now));
    return sys.failure(written.error());
  }
  // A write sets the archive bit, as every change of a file does.
  const std::uint32_t left = (now & ~file_attribute_readonly) | file_attribute_archive;
  if (wanted != left) {
    if (auto set = sys.files.set_attributes(path, attribute_word(wanted)); !set) {
      return sys.failure(set.error());
    }
  }
  return {};
}

Status make_durable(const System& sys, std::string_view path, std::uint32_t attributes) {
  attributes &= settable_attributes;
  const bool read_only = (attributes & file_attribute_readonly) != 0;
  if (read_only) {
    auto cleared =
        sys.files.set_attributes(path, attribute_word(attributes & ~file_attribute_readonly));
    if (!cleared) return sys.failure(cleared.error());
  }
  const auto flushed = sys.files.flush_file(path);
  if (read_only) {
    if (auto set = sys.files.set_attributes(path, attribute_word(attributes)); !set && flushed) {
      return sys.failure(set.error());
    }
  }
  if (!flushed) return sys.failure(flushed.error());
  return {};
}

Status create_on_desktop(const System& sys, std::string_view path, std::string_view bytes,
                         std::optional<std::uint32_t> attributes) {
  if (auto created = sys.files.create_new_file(path, bytes, /*flush=*/true); !created) {
    return sys.failure(created.error());
  }
  if (attributes && (*attributes & settable_attributes) != file_attribute_archive) {
    if (auto set = sys.files.set_attributes(path, attribute_word(*attributes)); !set) {
      return sys.failure(set.error());
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
