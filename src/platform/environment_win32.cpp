#include "platform/environment_win32.hpp"

#include <windows.h>
// windows.h first: the shell headers depend on it.
#include <knownfolders.h>
#include <shlobj.h>

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

}  // namespace mossglow
