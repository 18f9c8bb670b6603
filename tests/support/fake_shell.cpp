#include "support/fake_shell.hpp"

#include <sstream>

#include "platform/text.hpp"

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

std::unexpected<HResult> fail_os(Win32Error error) {
  return std::unexpected(hresult_from_win32(error.code));
}

// Sets `key` in `section` of an INI text, keeping every other byte as it was.
std::string set_profile_string(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view value) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(start, end - start));
    start = end;
  }
  const auto bare = [](std::string_view line) {
    return trim_unicode(line.substr(0, line.find_last_not_of("\r\n") + 1));
  };
  const std::string header = "[" + std::string(section) + "]";
  const std::string entry = std::string(key) + "=" + std::string(value) + "\r\n";
  bool in_section = false;
  std::optional<std::size_t> section_end;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string trimmed = bare(lines[i]);
    if (trimmed.starts_with("[")) {
      if (in_section) break;
      in_section = equals_ignoring_ascii_case(trimmed, header);
      if (in_section) section_end = i + 1;
      continue;
    }
    if (!in_section) continue;
    if (!trimmed.empty()) section_end = i + 1;
    const auto eq = trimmed.find('=');
    if (eq != std::string::npos && equals_ignoring_ascii_case(trim_unicode(trimmed.substr(0, eq)), key)) {
      lines[i] = entry;
      std::string out;
      for (const auto& l : lines) out += l;
      return out;
    }
  }
  if (section_end) {
    if (*section_end > 0 && !lines[*section_end - 1].ends_with("\n")) lines[*section_end - 1] += "\r\n";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*section_end), entry);
  } else {
    if (!lines.empty() && !lines.back().ends_with("\n")) lines.back() += "\r\n";
    lines.push_back(header + "\r\n");
    lines.push_back(entry);
  }
  std::string out;
  for (const auto& l : lines) out += l;
  return out;
}

}  // namespace

std::string FakeShell::link_bytes(const LinkInfo& link) {
  std::string bytes(link_magic);
  bytes += "target=" + link.target + "\n";
  bytes += "arguments=" + link.arguments + "\n";
  bytes += "workdir=" + link.working_directory + "\n";
  bytes += "icon=" + link.icon_path + "\n";
  bytes += "index=" + std::to_string(link.icon_index) + "\n";
  return bytes;
}

std::optional<HResult> FakeShell::fault(std::string_view operation, std::string_view path) {
  if (const auto code = faults_.next(operation, FakeFileSystem::fold(path))) return HResult{*code};
  return std::nullopt;
}

ComResult<void> FakeShell::set_link_icon(std::string_view link_path, std::string_view icon_path) {
  if (auto e = fault("set_link_icon", link_path)) return fail(*e);
  auto bytes = files_.read_file(link_path);
  if (!bytes) return fail_os(bytes.error());
  auto link = parse_link(*bytes);
  if (!link) return fail(e_fail);
  link->icon_path = std::string(icon_path);
  link->icon_index = 0;
  if (auto saved = files_.store(link_path, link_bytes(*link), "set_link_icon"); !saved) {
    return fail_os(saved.error());
  }
  return {};
}

ComResult<void> FakeShell::create_link(std::string_view link_path, const NewLink& link) {
  if (auto e = fault("create_link", link_path)) return fail(*e);
  LinkInfo info{link.target, link.arguments.value_or(""), link.working_directory.value_or(""),
                link.icon_path, link.icon_index};
  if (auto saved = files_.store(link_path, link_bytes(info), "create_link"); !saved) {
    return fail_os(saved.error());
  }
  return {};
}

ComResult<LinkInfo> FakeShell::read_link(std::string_view link_path) {
  if (auto e = fault("read_link", link_path)) return fail(*e);
  auto bytes = files_.read_file(link_path);
  if (!bytes) return fail_os(bytes.error());
  auto link = parse_link(*bytes);
  if (!link) return fail(e_fail);
  return *link;
}

ComResult<void> FakeShell::set_url_icon(std::string_view url_path, std::string_view icon_path) {
  if (auto e = fault("set_url_icon", url_path)) return fail(*e);
  std::string text;
  if (auto bytes = files_.read_file(url_path)) {
    text = *bytes;
  } else if (bytes.error().code != error_file_not_found) {
    return fail_os(bytes.error());
  }
  text = set_profile_string(text, "InternetShortcut", "IconFile", icon_path);
  if (auto saved = files_.store(url_path, text, "set_url_icon"); !saved) return fail_os(saved.error());
  text = set_profile_string(text, "InternetShortcut", "IconIndex", "0");
  if (auto saved = files_.store(url_path, text, "set_url_icon"); !saved) return fail_os(saved.error());
  return {};
}

std::optional<IconLocation> FakeShell::icon_location(std::string_view path) {
  if (const auto it = icon_overrides_.find(FakeFileSystem::fold(path)); it != icon_overrides_.end()) {
    return it->second;
  }
  auto bytes = files_.read_file(path);
  if (!bytes) return std::nullopt;
  if (auto link = parse_link(*bytes)) {
    if (link->icon_path.empty()) return IconLocation{"SHELL32.dll", 0};
    return IconLocation{link->icon_path, link->icon_index};
  }
  return IconLocation{"SHELL32.dll", 0};
}

void FakeShell::override_icon_location(std::string_view path, std::optional<IconLocation> answer) {
  icon_overrides_[FakeFileSystem::fold(path)] = std::move(answer);
}

void FakeShell::change_notify(std::uint32_t event, std::uint32_t flags,
                              std::optional<std::string_view> path) {
  notifications_.push_back(
      {event, flags, path ? std::optional<std::string>(std::string(*path)) : std::nullopt});
}

}  // namespace mossglow::fake
