#pragma once

#include <windows.h>

#include <string_view>

#include "app/runner.hpp"

namespace mossglow {

inline constexpr wchar_t window_class_name[] = L"MossglowWindow";
inline constexpr int title_label_id = 8;

// What the window procedure needs to run an operation. It lives in wWinMain's frame for
// as long as the message loop runs; the window keeps a pointer to it in GWLP_USERDATA.
struct WindowContext {
  OperationLock& lock;
  const OperationRoads& roads;
};

// Registers "MossglowWindow" with the given class icon and cursor (class style 0, no
// extra bytes, white window brush, no menu).
ATOM register_window_class(HINSTANCE instance, HICON icon, HCURSOR cursor);

// Creates the 480 × 164 top-level window and gives it the icon for both sizes; null when
// the window cannot be created.
HWND create_main_window(HINSTANCE instance, HICON icon);

// Lets the window procedure reach the operation's lock and steps.
void attach_context(HWND window, WindowContext& context);

// Creates the title, the two operation buttons, the hidden details button and the
// hidden details box. A control that cannot be created is simply missing.
void create_child_controls(HWND window, HINSTANCE instance);

// Shows or hides the details box, captions the details button to match and resizes
// the window: 434 with the box, 204 with only the details button, 164 otherwise.
void set_details_visible(HWND window, bool show);

// The runner's view of the main window.
class Win32OperationView final : public OperationView {
 public:
  explicit Win32OperationView(HWND window) : window_(window) {}

  void set_button_enabled(int id, bool enabled) override;
  void repaint() override;
  void set_details_text(std::string_view text) override;
  void show_details_button(bool show) override;
  void set_details_visible(bool show) override;

 private:
  HWND window_;
};

}  // namespace mossglow
