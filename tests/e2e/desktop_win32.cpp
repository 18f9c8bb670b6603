#include "desktop_win32.hpp"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow::e2e {
namespace {

constexpr std::uint32_t archive = 0x20;
constexpr std::string_view journals[] = {"backup.json",     "overlay.json",     "recycle.json",
                                         "backup.json.tmp", "overlay.json.tmp", "recycle.json.tmp"};

std::wstring wide(std::string_view text) {
  const std::u16string utf16 = to_utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string hex(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unhex(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
  }
  return out;
}

}  // namespace

void setup_failed(std::string_view what) {
  std::printf("SETUP FAILED: %.*s\n", static_cast<int>(what.size()), what.data());
  std::fflush(stdout);
  std::exit(2);
}

std::string Locations::journal(std::string_view name) const {
  return join_path(data_directory, name);
}

Desktop::Desktop() {
  auto user = env_.known_folder(KnownFolder::desktop);
  auto common = env_.known_folder(KnownFolder::public_desktop);
  auto local = env_.variable("LOCALAPPDATA");
  if (!user || !common || !local) setup_failed("the desktops or LOCALAPPDATA cannot be found");
  where_.user_desktop = *user;
  where_.public_desktop = *common;
  where_.data_directory = join_path(*local, "MossglowHome");
  where_.icon_path = join_path(where_.data_directory, "brambun.ico");
}

void Desktop::empty_folder(const std::string& folder) {
  auto names = files_.list_directory(folder);
  if (!names) setup_failed("cannot list " + folder);
  for (const std::string& name : *names) {
    const std::string path = join_path(folder, name);
    const std::wstring wpath = wide(path);
    SetFileAttributesW(wpath.c_str(), FILE_ATTRIBUTE_NORMAL);
    auto meta = files_.symlink_metadata(path);
    if (meta && meta->is_directory()) {
      empty_folder(path);
      if (!RemoveDirectoryW(wpath.c_str())) setup_failed("cannot remove " + path);
    } else if (!DeleteFileW(wpath.c_str())) {
      setup_failed("cannot delete " + path);
    }
  }
}

void Desktop::reset() {
  empty_folder(where_.user_desktop);
  empty_folder(where_.public_desktop);
  for (std::string_view name : journals) {
    const std::wstring path = wide(where_.journal(name));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

void Desktop::make_link(std::string_view path, std::string_view target,
                        std::string_view arguments) {
  NewLink link{std::string(target), std::string(arguments), std::string(parent_path(target)),
               std::string(target), 0};
  if (!shell_.create_link(path, link)) setup_failed("cannot create link " + std::string(path));
}

void Desktop::make_url(std::string_view path, std::string_view address) {
  make_file(path, "[InternetShortcut]\r\nURL=" + std::string(address) + "\r\n");
}

void Desktop::make_file(std::string_view path, std::string_view bytes) {
  if (!files_.write_file(path, bytes, true)) setup_failed("cannot write " + std::string(path));
}

void Desktop::make_folder(std::string_view path) {
  if (!files_.create_directories(path)) setup_failed("cannot create " + std::string(path));
}

void Desktop::make_read_only(std::string_view path) {
  auto attributes = files_.get_attributes(path);
  if (!attributes || !files_.set_attributes(path, *attributes | file_attribute_readonly)) {
    setup_failed("cannot make read-only " + std::string(path));
  }
}

Snapshot Desktop::snapshot() {
  Snapshot result;
  for (const std::string& folder : {where_.user_desktop, where_.public_desktop}) {
    auto names = files_.list_directory(folder);
    if (!names) setup_failed("cannot list " + folder);
    for (const std::string& name : *names) {
      const std::string path = join_path(folder, name);
      auto attributes = files_.get_attributes(path);
      if (!attributes) setup_failed("cannot read the attributes of " + path);
      Entry entry;
      entry.attributes = *attributes & ~archive;
      entry.directory = (*attributes & file_attribute_directory) != 0;
      if (!entry.directory) {
        auto bytes = files_.read_file(path);
        if (!bytes) setup_failed("cannot read " + path);
        entry.bytes = std::move(*bytes);
      }
      result.emplace(path, std::move(entry));
    }
  }
  return result;
}

bool Desktop::exists(std::string_view path) { return path_exists(files_, path); }

std::string Desktop::read(std::string_view path) {
  auto bytes = files_.read_file(path);
  return bytes ? *bytes : std::string();
}

void seed_sample_desktop(Desktop& desktop) {
  const Locations& at = desktop.where();
  desktop.make_link(join_path(at.user_desktop, "记事本.lnk"), "C:\\windows\\notepad.exe",
                    "C:\\windows\\win.ini");
  desktop.make_link(join_path(at.user_desktop, "命令提示符.lnk"), "C:\\windows\\system32\\cmd.exe",
                    "/k ver");
  desktop.make_url(join_path(at.user_desktop, "Wine 主页.url"), "https://www.winehq.org/");
  desktop.make_file(join_path(at.user_desktop, "购物清单.txt"), "苹果\r\n牛奶\r\n");
  desktop.make_folder(join_path(at.user_desktop, "照片"));
  desktop.make_file(join_path(join_path(at.user_desktop, "照片"), "猫.txt"), "喵");
  desktop.make_link(join_path(at.public_desktop, "资源管理器.lnk"), "C:\\windows\\explorer.exe",
                    "");
  desktop.make_url(join_path(at.public_desktop, "示例网站.url"), "https://example.com/");
}

std::string differences(const Snapshot& before, const Snapshot& after) {
  std::string out;
  for (const auto& [path, entry] : before) {
    auto found = after.find(path);
    if (found == after.end()) {
      out += " missing:" + path;
    } else if (!(found->second == entry)) {
      out += " changed:" + path;
    }
  }
  for (const auto& [path, entry] : after) {
    if (!before.contains(path)) out += " new:" + path;
  }
  return out;
}

bool save_snapshot(const Snapshot& snapshot, std::string_view path) {
  std::ostringstream out;
  for (const auto& [name, entry] : snapshot) {
    out << hex(name) << ' ' << entry.attributes << ' ' << entry.directory << ' ' << hex(entry.bytes)
        << '\n';
  }
  Win32FileSystem files;
  return files.write_file(path, out.str(), true).has_value();
}

Snapshot load_snapshot(std::string_view path) {
  Win32FileSystem files;
  auto text = files.read_file(path);
  if (!text) setup_failed("cannot read the saved snapshot " + std::string(path));
  Snapshot snapshot;
  std::istringstream in(*text);
  std::string name, bytes;
  Entry entry;
  while (in >> name >> entry.attributes >> entry.directory) {
    // A folder or an empty file has no bytes field.
    std::getline(in, bytes);
    if (!bytes.empty() && bytes.front() == ' ') bytes.erase(0, 1);
    entry.bytes = unhex(bytes);
    snapshot[unhex(name)] = entry;
  }
  return snapshot;
}

}  // namespace mossglow::e2e
