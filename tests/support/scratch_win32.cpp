#include "support/scratch_win32.hpp"

#include <windows.h>
// The shell headers need the base Windows types first.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "platform/text.hpp"
#include "platform/wide_path_win32.hpp"

namespace mossglow::testing_support {

std::wstring wide(std::string_view text) {
  const std::u16string utf16 = to_utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

void remove_tree(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
      std::vector<std::wstring> names;
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
      } while (FindNextFileW(find, &entry));
      FindClose(find);
      for (const auto& name : names) remove_tree(path + L"\\" + name);
    }
  }
  RemoveDirectoryW(path.c_str());
}

namespace {

std::unexpected<HResult> failed(HRESULT hr) {
  return std::unexpected(HResult{static_cast<std::uint32_t>(hr)});
}

// Runs `work` with a new shell link object and its IPersistFile, releasing both after.
template <class Work>
ComResult<void> with_shell_link(Work work) {
  IShellLinkW* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return failed(hr);
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    hr = work(link, file);
    file->Release();
  }
  link->Release();
  if (FAILED(hr)) return failed(hr);
  return {};
}

}  // namespace

ComResult<void> save_link_with_shell(std::string_view path, const NewLink& link) {
  return with_shell_link([&](IShellLinkW* shell_link, IPersistFile* file) {
    HRESULT hr = shell_link->SetPath(wide(link.target).c_str());
    if (SUCCEEDED(hr) && link.arguments)
      hr = shell_link->SetArguments(wide(*link.arguments).c_str());
    if (SUCCEEDED(hr) && link.working_directory) {
      hr = shell_link->SetWorkingDirectory(wide(*link.working_directory).c_str());
    }
    if (SUCCEEDED(hr))
      hr = shell_link->SetIconLocation(wide(link.icon_path).c_str(), link.icon_index);
    if (SUCCEEDED(hr)) hr = file->Save(WidePath(path).get(), TRUE);
    return hr;
  });
}

ComResult<void> set_link_icon_with_shell(std::string_view path, std::string_view icon_path) {
  return with_shell_link([&](IShellLinkW* shell_link, IPersistFile* file) {
    const WidePath wide_path(path);
    HRESULT hr = file->Load(wide_path.get(), STGM_READ);
    if (SUCCEEDED(hr)) hr = shell_link->SetIconLocation(wide(icon_path).c_str(), 0);
    if (SUCCEEDED(hr)) hr = file->Save(wide_path.get(), TRUE);
    return hr;
  });
}

}  // namespace mossglow::testing_support
