#include "window_probe_win32.hpp"

#include <vector>

#include "desktop_win32.hpp"
#include "platform/text.hpp"

namespace mossglow::e2e {
namespace {

constexpr DWORD poll_ms = 100;

std::string narrow(const std::wstring& text) {
  return to_utf8_lossy(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace

MainWindow MainWindow::find_or_fail() {
  auto window = find(60000);
  if (!window) setup_failed("no MossglowWindow appeared");
  return *window;
}

std::optional<MainWindow> MainWindow::find(DWORD timeout_ms) {
  for (DWORD waited = 0;; waited += poll_ms) {
    if (HWND window = FindWindowW(L"MossglowWindow", nullptr)) {
      // The controls come right after the window; a press before they exist is lost.
      if (GetDlgItem(window, details_box_id) != nullptr) return MainWindow(window);
    }
    if (waited >= timeout_ms) return std::nullopt;
    Sleep(poll_ms);
  }
}

std::string MainWindow::text(HWND window) const {
  if (window == nullptr) return "<no window>";
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<std::size_t>(copied));
  return narrow(buffer);
}

std::string MainWindow::class_name(HWND window) const {
  wchar_t buffer[256] = {};
  const int length = GetClassNameW(window, buffer, 256);
  return narrow(std::wstring(buffer, length > 0 ? length : 0));
}

SIZE MainWindow::outer_size() const {
  RECT rect{};
  GetWindowRect(window_, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

RECT MainWindow::control_rect(int id) const {
  RECT rect{};
  GetWindowRect(control(id), &rect);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void MainWindow::press(int id) const {
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(control(id)));
}

void MainWindow::post(int id) const {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(control(id)));
}

bool MainWindow::close(DWORD timeout_ms) const {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  for (DWORD waited = 0; waited < timeout_ms; waited += poll_ms) {
    if (!IsWindow(window_)) return true;
    Sleep(poll_ms);
  }
  return !IsWindow(window_);
}

}  // namespace mossglow::e2e
