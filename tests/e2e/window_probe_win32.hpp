#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace mossglow::e2e {

// The program's controls.
inline constexpr int title_id = 8;
inline constexpr int apply_id = 1;
inline constexpr int restore_id = 2;
inline constexpr int details_button_id = 4;
inline constexpr int details_box_id = 6;

// The program's main window seen from another process. Texts are read with
// WM_GETTEXT, which the system carries across processes (GetWindowTextW does not read
// another process's edit control).
class MainWindow {
 public:
  // Waits for a top-level window of class "MossglowWindow".
  static std::optional<MainWindow> find(DWORD timeout_ms);
  // The same, within a minute: without the window a scenario proves nothing, so the
  // driver ends with a setup failure.
  static MainWindow find_or_fail();

  HWND handle() const { return window_; }
  HWND control(int id) const { return GetDlgItem(window_, id); }

  std::string text(HWND window) const;
  std::string control_text(int id) const { return text(control(id)); }
  std::string class_name(HWND window) const;
  LONG_PTR style(HWND window) const { return GetWindowLongPtrW(window, GWL_STYLE); }

  SIZE outer_size() const;
  // The control's rectangle in the main window's client coordinates.
  RECT control_rect(int id) const;
  bool control_visible(int id) const { return IsWindowVisible(control(id)) != FALSE; }
  bool control_enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }

  // Sends the command a click on the button sends; returns when the operation is over.
  void press(int id) const;
  // Posts that command and returns at once.
  void post(int id) const;
  // Asks the window to close and waits until it is gone.
  bool close(DWORD timeout_ms) const;

 private:
  explicit MainWindow(HWND window) : window_(window) {}
  HWND window_;
};

}  // namespace mossglow::e2e
