#include "platform/shell_win32.hpp"

#include <windows.h>
// The shell headers need the base Windows types first.
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <vector>

#include "platform/com_win32.hpp"
#include "platform/text.hpp"

namespace mossglow {
namespace {

// Enough for the longest path Windows accepts and for the longest argument text.
constexpr int text_buffer_units = 32768;

std::wstring wide(std::string_view text) {
  const std::u16string utf16 = to_utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string narrow(const wchar_t* text, std::size_t max_units) {
  std::size_t length = 0;
  while (length < max_units && text[length] != L'\0') ++length;
  return to_wtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::unexpected<HResult> failure(HRESULT hr) {
  return std::unexpected(HResult{static_cast<std::uint32_t>(hr)});
}

// A name ends at its first NUL; a path holding one would name another file.
std::unexpected<HResult> invalid_name() {
  return failure(static_cast<HRESULT>(hresult_from_win32(ERROR_INVALID_NAME).value));
}

bool has_nul(std::string_view path) { return path.find('\0') != std::string_view::npos; }

// Whether the path, made absolute as the call would make it, fits in MAX_PATH. The
// profile writer and the file information call work in MAX_PATH buffers and, under
// Wine, take no \\?\ form either. Handed a longer path, Wine's profile writer writes
// to whatever name its unset buffer holds, so a longer path never reaches them: that
// item fails alone, with "file name too long".
bool fits_max_path(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  return needed != 0 && needed <= MAX_PATH;
}

// A new shell link object, asked for IShellLinkW.
HRESULT create_shell_link(Released<IShellLinkW>& link) {
  const HRESULT hr =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
  if (SUCCEEDED(hr) && link.get() == nullptr) return E_POINTER;
  return hr;
}

// WritePrivateProfileStringW in the InternetShortcut section. A zero return with no
// error code set is how Windows reports some successful writes, so it counts as one.
HRESULT write_url_key(const wchar_t* key, const std::wstring& value, const std::wstring& file) {
  if (WritePrivateProfileStringW(L"InternetShortcut", key, value.c_str(), file.c_str()) != 0) {
    return S_OK;
  }
  const DWORD code = GetLastError();
  if (code == 0) return S_OK;
  return static_cast<HRESULT>(hresult_from_win32(code).value);
}

// A new shell link object holding the given properties, set in this order.
HRESULT made_link(const NewLink& link_data, Released<IShellLinkW>& link) {
  if (const HRESULT hr = create_shell_link(link); FAILED(hr)) return hr;
  if (const HRESULT hr = link->SetPath(wide(link_data.target).c_str()); FAILED(hr)) return hr;
  if (link_data.arguments) {
    if (const HRESULT hr = link->SetArguments(wide(*link_data.arguments).c_str()); FAILED(hr)) {
      return hr;
    }
  }
  if (link_data.working_directory) {
    const std::wstring directory = wide(*link_data.working_directory);
    if (const HRESULT hr = link->SetWorkingDirectory(directory.c_str()); FAILED(hr)) return hr;
  }
  const std::wstring icon = wide(link_data.icon_path);
  return link->SetIconLocation(icon.c_str(), link_data.icon_index);
}

// IPersistStream of the same object; a success that hands back no interface is no success.
HRESULT query_persist_stream(IShellLinkW* link, Released<IPersistStream>& stream) {
  const HRESULT hr = link->QueryInterface(IID_IPersistStream, stream.out());
  if (SUCCEEDED(hr) && stream.get() == nullptr) return E_POINTER;
  return hr;
}

// The object saved into a stream over memory, and that memory's bytes.
ComResult<std::string> saved_bytes(IShellLinkW* link) {
  Released<IPersistStream> persist;
  if (const HRESULT hr = query_persist_stream(link, persist); FAILED(hr)) return failure(hr);
  Released<IStream> stream;
  if (const HRESULT hr =
          CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(stream.out()));
      FAILED(hr)) {
    return failure(hr);
  }
  if (const HRESULT hr = persist->Save(stream.get(), TRUE); FAILED(hr)) return failure(hr);
  ULARGE_INTEGER size{};
  if (const HRESULT hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &size); FAILED(hr)) {
    return failure(hr);
  }
  HGLOBAL memory = nullptr;
  if (const HRESULT hr = GetHGlobalFromStream(stream.get(), &memory); FAILED(hr)) {
    return failure(hr);
  }
  const auto* bytes = static_cast<const char*>(GlobalLock(memory));
  if (bytes == nullptr) return failure(E_OUTOFMEMORY);
  std::string copy(bytes, static_cast<std::size_t>(size.QuadPart));
  GlobalUnlock(memory);
  return copy;
}

// A new shell link object loaded from a link's bytes, through a stream over memory.
HRESULT loaded_link(std::string_view link_bytes, Released<IShellLinkW>& link) {
  if (const HRESULT hr = create_shell_link(link); FAILED(hr)) return hr;
  Released<IPersistStream> persist;
  if (const HRESULT hr = query_persist_stream(link.get(), persist); FAILED(hr)) return hr;
  Released<IStream> stream;
  if (const HRESULT hr =
          CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(stream.out()));
      FAILED(hr)) {
    return hr;
  }
  ULONG written = 0;
  if (const HRESULT hr =
          stream->Write(link_bytes.data(), static_cast<ULONG>(link_bytes.size()), &written);
      FAILED(hr)) {
    return hr;
  }
  if (const HRESULT hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr); FAILED(hr)) {
    return hr;
  }
  return persist->Load(stream.get());
}

}  // namespace

ComResult<std::string> Win32Shell::new_link_bytes(const NewLink& link_data) {
  Released<IShellLinkW> link;
  if (const HRESULT hr = made_link(link_data, link); FAILED(hr)) return failure(hr);
  return saved_bytes(link.get());
}

ComResult<std::string> Win32Shell::link_bytes_with_icon(std::string_view link_bytes,
                                                        std::string_view icon_path) {
  Released<IShellLinkW> link;
  // Loading first keeps everything the link holds; only the icon location changes.
  if (const HRESULT hr = loaded_link(link_bytes, link); FAILED(hr)) return failure(hr);
  const std::wstring icon = wide(icon_path);
  if (const HRESULT hr = link->SetIconLocation(icon.c_str(), 0); FAILED(hr)) return failure(hr);
  return saved_bytes(link.get());
}

ComResult<LinkInfo> Win32Shell::link_from_bytes(std::string_view link_bytes) {
  Released<IShellLinkW> link;
  if (const HRESULT hr = loaded_link(link_bytes, link); FAILED(hr)) return failure(hr);

  std::vector<wchar_t> buffer(text_buffer_units);
  LinkInfo info;
  const auto take = [&] {
    std::string text = narrow(buffer.data(), buffer.size());
    std::fill(buffer.begin(), buffer.end(), L'\0');
    return text;
  };
  if (const HRESULT hr = link->GetPath(buffer.data(), text_buffer_units, nullptr, SLGP_RAWPATH);
      FAILED(hr)) {
    return failure(hr);
  }
  info.target = take();
  if (const HRESULT hr = link->GetArguments(buffer.data(), text_buffer_units); FAILED(hr)) {
    return failure(hr);
  }
  info.arguments = take();
  if (const HRESULT hr = link->GetWorkingDirectory(buffer.data(), text_buffer_units); FAILED(hr)) {
    return failure(hr);
  }
  info.working_directory = take();
  int index = 0;
  if (const HRESULT hr = link->GetIconLocation(buffer.data(), text_buffer_units, &index);
      FAILED(hr)) {
    return failure(hr);
  }
  info.icon_path = take();
  info.icon_index = index;
  return info;
}

ComResult<void> Win32Shell::set_url_icon(std::string_view url_path, std::string_view icon_path) {
  if (has_nul(url_path)) return invalid_name();
  const std::wstring file = wide(url_path);
  if (!fits_max_path(file)) {
    return failure(static_cast<HRESULT>(hresult_from_win32(ERROR_FILENAME_EXCED_RANGE).value));
  }
  if (const HRESULT hr = write_url_key(L"IconFile", wide(icon_path), file); FAILED(hr)) {
    return failure(hr);
  }
  if (const HRESULT hr = write_url_key(L"IconIndex", L"0", file); FAILED(hr)) {
    return failure(hr);
  }
  return {};
}

// The record the shell fills in; its size is part of the call.
static_assert(sizeof(SHFILEINFOW) == 696);

std::optional<IconLocation> Win32Shell::icon_location(std::string_view path) {
  if (has_nul(path)) return std::nullopt;
  const std::wstring file = wide(path);
  if (!fits_max_path(file)) return std::nullopt;
  SHFILEINFOW info{};
  if (SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_ICONLOCATION) == 0) {
    return std::nullopt;
  }
  return IconLocation{narrow(info.szDisplayName, MAX_PATH), info.iIcon};
}

void Win32Shell::change_notify(std::uint32_t event, std::uint32_t flags,
                               std::optional<std::string_view> path) {
  if (path) {
    const std::wstring item = wide(*path);
    SHChangeNotify(static_cast<LONG>(event), flags, item.c_str(), nullptr);
  } else {
    SHChangeNotify(static_cast<LONG>(event), flags, nullptr, nullptr);
  }
}

}  // namespace mossglow
