#include "desktop_win32.hpp"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/data_directory.hpp"
#include "support/link_files.hpp"

namespace mossglow::e2e {
namespace {

constexpr std::uint32_t archive = 0x20;
constexpr std::string_view recycle_value_names[] = {"(default)", "empty", "full"};

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
  for (const DirectoryEntry& entry : *names) {
    const std::string path = join_path(folder, entry.name);
    const std::wstring wpath = wide(path);
    SetFileAttributesW(wpath.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A linked folder goes without being followed into its target.
    if (entry.is_directory()) {
      if (!entry.is_link()) empty_folder(path);
      if (!RemoveDirectoryW(wpath.c_str())) setup_failed("cannot remove " + path);
    } else if (!DeleteFileW(wpath.c_str())) {
      setup_failed("cannot delete " + path);
    }
  }
}

void Desktop::reset() {
  empty_folder(where_.user_desktop);
  empty_folder(where_.public_desktop);
  for (const JournalFiles& journal : all_journals) {
    for (std::string_view name : {journal.name, journal.temporary}) {
      const std::wstring path = wide(where_.journal(name));
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  }
}

void Desktop::make_link(std::string_view path, std::string_view target,
                        std::string_view arguments) {
  NewLink link{std::string(target), std::string(arguments), std::string(parent_path(target)),
               std::string(target), 0};
  if (!testing_support::write_link(files_, shell_, path, link)) {
    setup_failed("cannot create link " + std::string(path));
  }
}

ComResult<LinkInfo> Desktop::read_link(std::string_view path) {
  return testing_support::read_link(files_, shell_, path);
}

std::uint64_t Desktop::file_id(std::string_view path) {
  const HANDLE file =
      CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) setup_failed("cannot open " + std::string(path));
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!read) setup_failed("cannot read the file ID of " + std::string(path));
  return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
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

void Desktop::add_attributes(std::string_view path, std::uint32_t bits) {
  auto attributes = files_.get_attributes(path);
  if (!attributes || !files_.set_attributes(path, *attributes | bits)) {
    setup_failed("cannot set the attributes of " + std::string(path));
  }
}

void Desktop::add_folder(const std::string& folder, Snapshot& into) {
  auto names = files_.list_directory(folder);
  if (!names) setup_failed("cannot list " + folder);
  for (const DirectoryEntry& listed : *names) {
    const std::string path = join_path(folder, listed.name);
    auto attributes = files_.get_attributes(path);
    if (!attributes) setup_failed("cannot read the attributes of " + path);
    Entry entry;
    entry.attributes = *attributes & ~archive;
    entry.directory = (*attributes & file_attribute_directory) != 0;
    if (entry.directory) {
      add_folder(path, into);
    } else {
      auto bytes = files_.read_file(path);
      if (!bytes) setup_failed("cannot read " + path);
      entry.bytes = std::move(*bytes);
    }
    into.emplace(path, std::move(entry));
  }
}

Snapshot Desktop::snapshot() {
  Snapshot result;
  for (const std::string& folder : {where_.user_desktop, where_.public_desktop}) {
    add_folder(folder, result);
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

void seed_mixed_desktop(Desktop& desktop) {
  seed_sample_desktop(desktop);
  const Locations& at = desktop.where();
  const std::string hidden = join_path(at.user_desktop, "隐藏的.lnk");
  desktop.make_link(hidden, "C:\\windows\\system32\\winver.exe", "");
  desktop.add_attributes(hidden, file_attribute_hidden);
  const std::string read_only = join_path(at.public_desktop, "只读说明.txt");
  desktop.make_file(read_only, "请勿修改\r\n");
  desktop.add_attributes(read_only, file_attribute_readonly);
  seed_steam_game(desktop);
}

void seed_steam_game(Desktop& desktop) {
  // Steam shortcuts are converted only when steam: addresses open a file named steam.exe.
  const std::string steam_folder = "C:\\Program Files (x86)\\Steam";
  const std::string steam_exe = join_path(steam_folder, "steam.exe");
  desktop.make_folder(steam_folder);
  desktop.make_file(steam_exe, "stands in for Steam");
  // Windows shows the user's classes through HKEY_CLASSES_ROOT; Wine does not merge
  // them, so the command goes to both.
  const std::wstring command = wide("\"" + steam_exe + "\" -- \"%1\"");
  const DWORD size = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  for (const auto& [root, key] :
       {std::pair{HKEY_CURRENT_USER, L"Software\\Classes\\steam"}, {HKEY_CLASSES_ROOT, L"steam"}}) {
    const std::wstring path = std::wstring(key) + L"\\shell\\open\\command";
    if (RegSetKeyValueW(root, path.c_str(), nullptr, REG_SZ, command.c_str(), size) !=
        ERROR_SUCCESS) {
      setup_failed("cannot register the stand-in steam.exe");
    }
  }
  desktop.make_file(join_path(desktop.where().user_desktop, "Dota 2.url"),
                    "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,0\r\n"
                    "[InternetShortcut]\r\nIDList=\r\nIconIndex=0\r\nURL=steam://rungameid/570\r\n"
                    "IconFile=" +
                        steam_folder + "\\steam\\games\\dota.ico\r\n");
}

std::string differences(const Snapshot& before, const Snapshot& after) {
  std::string out;
  for (const auto& [path, entry] : before) {
    auto found = after.find(path);
    if (found == after.end()) {
      out += " missing:" + path;
    } else if (found->second.attributes != entry.attributes) {
      out += " attributes:" + path + "(" + std::to_string(entry.attributes) + "->" +
             std::to_string(found->second.attributes) + ")";
    } else if (!(found->second == entry)) {
      out += " bytes:" + path + "(" + std::to_string(entry.bytes.size()) + "->" +
             std::to_string(found->second.bytes.size()) + ")";
    }
  }
  for (const auto& [path, entry] : after) {
    if (!before.contains(path)) out += " new:" + path;
  }
  return out;
}

std::string differences(const UserView& before, const UserView& after) {
  std::string out = differences(before.desktop, after.desktop);
  for (std::size_t i = 0; i < before.recycle.size(); ++i) {
    if (before.recycle[i] != after.recycle[i]) {
      out += " recycle:" + std::string(recycle_value_names[i]);
    }
  }
  return out;
}

std::string view_text(const UserView& view) {
  const auto field = [](std::string_view bytes) { return bytes.empty() ? "-" : hex(bytes); };
  std::ostringstream out;
  for (const auto& [name, entry] : view.desktop) {
    out << "F " << hex(name) << ' ' << entry.attributes << ' ' << entry.directory << ' '
        << field(entry.bytes) << '\n';
  }
  for (std::size_t i = 0; i < view.recycle.size(); ++i) {
    if (view.recycle[i]) {
      out << "R " << i << ' ' << view.recycle[i]->type << ' ' << field(view.recycle[i]->bytes)
          << '\n';
    }
  }
  return out.str();
}

bool save_view(const UserView& view, std::string_view path) {
  Win32FileSystem files;
  return files.write_file(path, view_text(view), true).has_value();
}

UserView load_view(std::string_view path) {
  Win32FileSystem files;
  auto text = files.read_file(path);
  if (!text) setup_failed("cannot read the saved view " + std::string(path));
  const auto field = [](const std::string& text) { return text == "-" ? "" : unhex(text); };
  UserView view;
  std::istringstream in(*text);
  std::string kind, name, bytes;
  Entry entry;
  std::size_t index = 0;
  RegistryValue value;
  while (in >> kind) {
    if (kind == "F" && in >> name >> entry.attributes >> entry.directory >> bytes) {
      entry.bytes = field(bytes);
      view.desktop[unhex(name)] = entry;
    } else if (kind == "R" && in >> index >> value.type >> bytes && index < view.recycle.size()) {
      value.bytes = field(bytes);
      view.recycle[index] = value;
    } else {
      setup_failed("the saved view " + std::string(path) + " is damaged");
    }
  }
  return view;
}

}  // namespace mossglow::e2e
