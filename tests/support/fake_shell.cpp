#include "support/fake_shell.hpp"

#include <sstream>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "support/fake_profile.hpp"

namespace mossglow::fake {
namespace {

constexpr std::string_view link_magic = "[FakeShellLink]\n";

std::optional<LinkInfo> parse_link(std::string_view bytes) {
  if (!bytes.starts_with(link_magic)) return std::nullopt;
  LinkInfo link;
  std::istringstream lines{std::string(bytes.substr(link_magic.size()))};
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "target") link.target = value;
    if (key == "arguments") link.arguments = value;
    if (key == "workdir") link.working_directory = value;
    if (key == "icon") link.icon_path = value;
    if (key == "index") link.icon_index = std::stoi(value);
  }
  return link;
}

std::unexpected<HResult> fail(HResult result) { return std::unexpected(result); }

// A failure the plan gives a call.
std::unexpected<HResult> failed(std::uint32_t code) { return fail(HResult{code}); }

std::unexpected<HResult> fail_os(Win32Error error) {
  return std::unexpected(hresult_from_win32(error.code));
}

// A Windows name ends at its first NUL, so a path holding one would name another file.
constexpr std::uint32_t error_invalid_name = 123;
bool has_nul(std::string_view path) { return path.find('\0') != std::string_view::npos; }

// The profile writer and the icon read-back work in MAX_PATH buffers (the terminating
// NUL included); a longer path never reaches them.
constexpr std::uint32_t error_filename_exced_range = 206;
constexpr std::size_t max_path = 260;
bool fits_max_path(std::string_view path) { return to_utf16(path).size() < max_path; }

}  // namespace

std::string FakeShell::link_bytes(const LinkInfo& link,
                                  std::optional<FakeFileSystem::TargetInfo> target) {
  std::string bytes(link_magic);
  bytes += "target=" + link.target + "\n";
  if (target) {
    bytes += "about=" + std::to_string(target->attributes) + " " + std::to_string(target->size) +
             " " + std::to_string(target->written) + " " + std::to_string(target->accessed) + "\n";
  }
  bytes += "arguments=" + link.arguments + "\n";
  bytes += "workdir=" + link.working_directory + "\n";
  bytes += "icon=" + link.icon_path + "\n";
  bytes += "index=" + std::to_string(link.icon_index) + "\n";
  return bytes;
}

ComResult<std::string> FakeShell::link_bytes_with_icon(std::string_view link_bytes,
                                                       std::string_view icon_path) {
  return faults_.run(Op::link_bytes_with_icon, {}, failed, [&]() -> ComResult<std::string> {
    auto link = parse_link(link_bytes);
    if (!link) return fail(e_fail);
    // Only the icon changes: what the link holds of its target stays as it was saved.
    // (Built by appending: GCC 12 warns falsely about std::string::replace here.)
    std::string changed;
    std::string_view rest = link_bytes;
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
      const std::string_view line = rest.substr(0, end);
      if (line.starts_with("icon=")) {
        changed.append("icon=").append(icon_path).append("\n");
      } else if (line.starts_with("index=")) {
        changed.append("index=0\n");
      } else {
        changed.append(line);
      }
      rest.remove_prefix(end);
    }
    return changed;
  });
}

ComResult<std::string> FakeShell::new_link_bytes(const NewLink& link) {
  return faults_.run(Op::new_link_bytes, {}, failed, [&]() -> ComResult<std::string> {
    // A target the link cannot hold whole comes back cut short.
    std::string target = link.target;
    while (to_utf16(target).size() >= max_path) target.pop_back();
    // The shell link object looks at the target and keeps its attributes, size and times.
    return link_bytes(
        LinkInfo{target, link.arguments.value_or(""), link.working_directory.value_or(""),
                 link.icon_path, link.icon_index},
        files_.link_target(target).value_or(FakeFileSystem::TargetInfo{}));
  });
}

ComResult<LinkInfo> FakeShell::link_from_bytes(std::string_view link_bytes) {
  return faults_.run(Op::link_from_bytes, {}, failed, [&]() -> ComResult<LinkInfo> {
    auto link = parse_link(link_bytes);
    if (!link) return fail(e_fail);
    return *link;
  });
}

std::optional<LinkInfo> FakeShell::read_link(std::string_view link_path) const {
  auto bytes = files_.load(link_path);
  if (!bytes) return std::nullopt;
  return parse_link(*bytes);
}

ComResult<void> FakeShell::set_url_icon(std::string_view url_path, std::string_view icon_path) {
  return faults_.run(Op::set_url_icon, url_path, failed, [&]() -> ComResult<void> {
    if (has_nul(url_path)) return fail_os(Win32Error{error_invalid_name});
    if (!fits_max_path(url_path)) return fail_os(Win32Error{error_filename_exced_range});
    const std::pair<std::string_view, std::string_view> keys[] = {{"IconFile", icon_path},
                                                                  {"IconIndex", "0"}};
    for (const auto& [key, value] : keys) {
      // The file is opened for reading and writing before anything is compared, so a
      // read-only file fails even when the value is already there.
      std::string text;
      if (auto bytes = files_.load(url_path)) {
        if (files_.attributes(url_path).value_or(0) & file_attribute_readonly) {
          return fail_os(Win32Error{error_access_denied});
        }
        text = std::move(*bytes);
      } else if (bytes.error().code != error_file_not_found) {
        return fail_os(bytes.error());
      }
      const auto rewritten = write_profile_string(text, "InternetShortcut", key, value);
      if (!rewritten) continue;
      if (auto saved = files_.store(url_path, *rewritten, Op::set_url_icon); !saved) {
        return fail_os(saved.error());
      }
    }
    return {};
  });
}

std::optional<IconLocation> FakeShell::icon_location(std::string_view path) {
  using Answer = std::optional<IconLocation>;
  const auto none = [](std::uint32_t) { return Answer{}; };
  return faults_.run(Op::icon_location, path, none, [&]() -> Answer {
    if (const auto it = icon_overrides_.find(FakeFileSystem::fold(path));
        it != icon_overrides_.end()) {
      return it->second;
    }
    // Wine's answers: a folder shows shell32's folder icon, an internet shortcut the
    // handler's icon (whatever its IconFile says), a link its stored icon location,
    // and a link without one or any other file shell32's document icon.
    static constexpr std::string_view shell32 = "C:\\windows\\system32\\SHELL32.dll";
    if (has_nul(path) || !fits_max_path(path)) return std::nullopt;
    const auto metadata = files_.stat(path);
    if (!metadata) return std::nullopt;
    if (metadata->is_directory()) return IconLocation{std::string(shell32), -4};
    if (has_extension(path, "url")) return IconLocation{"url.dll", 0};
    if (auto bytes = files_.load(path)) {
      if (auto link = parse_link(*bytes); link && !link->icon_path.empty()) {
        return IconLocation{link->icon_path, link->icon_index};
      }
    }
    return IconLocation{std::string(shell32), 0};
  });
}

void FakeShell::override_icon_location(std::string_view path, std::optional<IconLocation> answer) {
  icon_overrides_[FakeFileSystem::fold(path)] = std::move(answer);
}

void FakeShell::change_notify(std::uint32_t event, std::uint32_t flags,
                              std::optional<std::string_view> path) {
  // SHChangeNotify cannot fail; the plan counts it and runs its hooks.
  (void)faults_.enter(Op::change_notify, path.value_or(""));
  // Built in steps: GCC 12 at -O3 warns falsely about the optional built in one go.
  Notification notification{event, flags, std::nullopt};
  if (path) notification.path.emplace(*path);
  notifications_.push_back(std::move(notification));
  faults_.succeeded(Op::change_notify, path.value_or(""));
}

}  // namespace mossglow::fake
