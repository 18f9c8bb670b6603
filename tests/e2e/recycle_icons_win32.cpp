#include "recycle_icons_win32.hpp"

#include <windows.h>

#include "desktop_win32.hpp"
#include "platform/text.hpp"

namespace mossglow::e2e {
namespace {

constexpr wchar_t key_path[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\"
    L"{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";
constexpr const wchar_t* value_names[] = {L"", L"empty", L"full"};

RegistryValue expand_value(const wchar_t* text) {
  RegistryValue value{REG_EXPAND_SZ, {}};
  const std::size_t units = wcslen(text) + 1;
  value.bytes.assign(reinterpret_cast<const char*>(text), units * sizeof(wchar_t));
  return value;
}

}  // namespace

RegistryValue string_value(const std::string& text) {
  std::u16string utf16 = to_utf16(text);
  utf16.push_back(u'\0');
  return RegistryValue{REG_SZ, std::string(reinterpret_cast<const char*>(utf16.data()),
                                           utf16.size() * sizeof(char16_t))};
}

RecycleIcons read_recycle_icons() {
  RecycleIcons icons;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return icons;
  }
  for (std::size_t i = 0; i < icons.size(); ++i) {
    // The program may be rewriting the value between the two queries: ask again.
    for (LSTATUS status = ERROR_MORE_DATA; status == ERROR_MORE_DATA;) {
      DWORD type = 0;
      DWORD size = 0;
      status = RegQueryValueExW(key, value_names[i], nullptr, &type, nullptr, &size);
      if (status == ERROR_FILE_NOT_FOUND) break;
      if (status != ERROR_SUCCESS) setup_failed("cannot read a recycle-bin icon value");
      std::string bytes(size, '\0');
      status = RegQueryValueExW(key, value_names[i], nullptr, &type,
                                reinterpret_cast<BYTE*>(bytes.data()), &size);
      if (status == ERROR_SUCCESS) {
        bytes.resize(size);
        icons[i] = RegistryValue{type, std::move(bytes)};
      } else if (status != ERROR_MORE_DATA && status != ERROR_FILE_NOT_FOUND) {
        setup_failed("cannot read a recycle-bin icon value");
      }
    }
  }
  RegCloseKey(key);
  return icons;
}

RecycleIcons seed_recycle_icons() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    setup_failed("cannot create the recycle-bin icon key");
  }
  RegDeleteValueW(key, value_names[0]);
  const RegistryValue empty = expand_value(L"%SystemRoot%\\System32\\imageres.dll,-55");
  const RegistryValue full = string_value("C:\\Windows\\System32\\imageres.dll,-54");
  for (const auto& [name, value] : {std::pair{value_names[1], empty}, {value_names[2], full}}) {
    if (RegSetValueExW(key, name, 0, value.type, reinterpret_cast<const BYTE*>(value.bytes.data()),
                       static_cast<DWORD>(value.bytes.size())) != ERROR_SUCCESS) {
      setup_failed("cannot seed a recycle-bin icon value");
    }
  }
  RegCloseKey(key);
  return RecycleIcons{std::nullopt, empty, full};
}

}  // namespace mossglow::e2e
