// The Windows side of scripts/bench --wine:
//
//   bench_press.exe link PATH TARGET   saves a shell link to TARGET (the desktop's template)
//   bench_press.exe apply|restore      presses that button of the running mossglow.exe and
//                                      prints "ms=T", the time until the run was over
//
// A press is over when the window has run the operation and all three buttons are
// enabled again (they are disabled for the whole run, whichever thread does the work).
// A run that shows a report (the details box) left something undone and would not be
// a fair figure: its text goes to stderr and the exit status is 3.
#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int apply_id = 1;
constexpr int restore_id = 2;
constexpr int details_button_id = 4;
constexpr int details_box_id = 6;
constexpr DWORD start_timeout_ms = 60000;

int make_link(const wchar_t* path, const wchar_t* target) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(hr)) hr = link->SetPath(target);
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) hr = file->Save(path, TRUE);
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  if (FAILED(hr)) {
    std::fwprintf(stderr, L"bench_press: cannot save %ls (0x%08lx)\n", path,
                  static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}

HWND find_window() {
  for (DWORD waited = 0; waited < start_timeout_ms; waited += 50) {
    // The controls come right after the window; a press before they exist is lost.
    HWND window = FindWindowW(L"MossglowWindow", nullptr);
    if (window != nullptr && GetDlgItem(window, details_box_id) != nullptr) return window;
    Sleep(50);
  }
  return nullptr;
}

bool buttons_enabled(HWND window) {
  for (const int id : {apply_id, restore_id, details_button_id}) {
    if (!IsWindowEnabled(GetDlgItem(window, id))) return false;
  }
  return true;
}

// WM_GETTEXT, since GetWindowTextW does not read another process's edit control.
std::wstring details_text(HWND window) {
  HWND box = GetDlgItem(window, details_box_id);
  const LRESULT length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::string utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

int press(int id) {
  HWND window = find_window();
  if (window == nullptr) {
    std::fprintf(stderr, "bench_press: no MossglowWindow appeared\n");
    return 1;
  }
  if (!buttons_enabled(window)) {
    std::fprintf(stderr, "bench_press: an operation is already running\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  while (!buttons_enabled(window)) Sleep(1);
  QueryPerformanceCounter(&end);
  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart);
  std::printf("ms=%.1f\n", ms);
  std::fflush(stdout);

  const std::wstring report = details_text(window);
  if (!report.empty()) {
    std::fprintf(stderr, "bench_press: the run left something undone:\n%s\n", utf8(report).c_str());
    return 3;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"link") == 0) return make_link(argv[2], argv[3]);
  if (argc == 2 && std::wcscmp(argv[1], L"apply") == 0) return press(apply_id);
  if (argc == 2 && std::wcscmp(argv[1], L"restore") == 0) return press(restore_id);
  std::fprintf(stderr, "usage: bench_press.exe link PATH TARGET | apply | restore\n");
  return 2;
}
