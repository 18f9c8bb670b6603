#include "platform/environment_win32.hpp"

#include <windows.h>
// windows.h first: the shell headers depend on it.
#include <knownfolders.h>
#include <shlobj.h>

#include <climits>

#include "platform/text.hpp"

namespace mossglow {

std::optional<std::string> Win32Environment::variable(std::string_view name) {
  const std::u16string wide_name = to_utf16(name);
  const auto* key = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  // The value may be of any length and may change between the calls: ask for the size,
  // then read, until the buffer was large enough.
  std::u16string value(1, u'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(key, reinterpret_cast<wchar_t*>(value.data()),
                                                 static_cast<DWORD>(value.size()));
    if (length == 0 && GetLastError() != ERROR_SUCCESS) return std::nullopt;
    if (length < value.size()) {
      value.resize(length);
      return to_wtf8(value);
    }
    value.assign(length, u'\0');
  }
}

ComResult<std::string> Win32Environment::known_folder(KnownFolder folder) {
  const KNOWNFOLDERID& id =
      folder == KnownFolder::desktop ? FOLDERID_Desktop : FOLDERID_PublicDesktop;
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &path);
  if (FAILED(result)) {
    CoTaskMemFree(path);
    return std::unexpected(HResult{static_cast<std::uint32_t>(result)});
  }
  std::string text = to_wtf8(reinterpret_cast<const char16_t*>(path));
  CoTaskMemFree(path);
  return text;
}

OsResult<std::u16string> Win32Environment::ansi_to_utf16(std::string_view bytes) {
  // The call itself refuses an empty input; there is nothing to convert.
  if (bytes.empty()) return std::u16string();
  // The call takes the length as an int; a larger text cannot be converted at all.
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::unexpected(Win32Error{ERROR_ARITHMETIC_OVERFLOW});
  }
  // A single-byte or double-byte code page never yields more units than bytes.
  std::u16string units(bytes.size(), u'\0');
  const int written =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                          reinterpret_cast<wchar_t*>(units.data()), static_cast<int>(units.size()));
  if (written == 0) return std::unexpected(Win32Error{static_cast<std::uint32_t>(GetLastError())});
  units.resize(static_cast<std::size_t>(written));
  return units;
}

}  // namespace mossglow
