#include "app/window_win32.hpp"

#include <string>

#include "platform/text.hpp"

namespace mossglow {
namespace {

constexpr int window_width = 480;
constexpr int height_compact = 164;
constexpr int height_details_button = 204;
constexpr int height_expanded = 434;

constexpr DWORD main_window_style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD visible_child = WS_CHILD | WS_VISIBLE;
constexpr DWORD details_box_style =
    WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_READONLY | ES_AUTOVSCROLL | ES_MULTILINE;
static_assert(main_window_style == 0x10CA0000);
static_assert(details_box_style == 0x40A10844);

constexpr COLORREF static_background = RGB(255, 255, 255);
constexpr COLORREF static_text = RGB(34, 34, 34);

struct ChildControl {
  const wchar_t* class_name;
  const wchar_t* text;
  DWORD style;
  int id;
  int x, y, width, height;
};

// In creation order, which is also the tab and z order.
constexpr ChildControl child_controls[] = {
    {L"STATIC", L"一键替换桌面图标为复古小Brambun", visible_child, title_label_id, 25, 20, 420, 28},
    {L"BUTTON", L"一键换肤", visible_child, apply_button_id, 25, 58, 190, 42},
    {L"BUTTON", L"一键还原", visible_child, restore_button_id, 240, 58, 190, 42},
    // Hidden until an operation has something to show.
    {L"BUTTON", L"查看详情", WS_CHILD, details_button_id, 325, 116, 105, 30},
    {L"EDIT", nullptr, details_box_style, details_box_id, 25, 158, 405, 210},
};

std::wstring to_wide(std::string_view text) {
  std::u16string utf16 = to_utf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

bool has_visible_style(HWND control) {
  return control != nullptr && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void run(HWND window, std::string_view operation) {
  auto* context = reinterpret_cast<WindowContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // The context is attached right after creation, before any control exists that
  // could send a command; without it there is nothing to run.
  if (context == nullptr) return;
  Win32OperationView view(window);
  run_operation(view, context->lock, context->roads, operation);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case apply_button_id:
          run(window, "apply");
          return 0;
        case restore_button_id:
          run(window, "restore");
          return 0;
        case details_button_id:
          set_details_visible(window, !has_visible_style(GetDlgItem(window, details_box_id)));
          return 0;
        default:
          break;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, static_background);
      SetTextColor(dc, static_text);
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

ATOM register_window_class(HINSTANCE instance, HICON icon, HCURSOR cursor) {
  WNDCLASSW window_class{};
  window_class.style = 0;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hCursor = cursor;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  window_class.lpszClassName = window_class_name;
  return RegisterClassW(&window_class);
}

HWND create_main_window(HINSTANCE instance, HICON icon) {
  HWND window = CreateWindowExW(0, window_class_name, L"mossglow", main_window_style, CW_USEDEFAULT,
                                CW_USEDEFAULT, window_width, height_compact, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return nullptr;
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  return window;
}

void attach_context(HWND window, WindowContext& context) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&context));
}

void create_child_controls(HWND window, HINSTANCE instance) {
  for (const ChildControl& control : child_controls) {
    CreateWindowExW(0, control.class_name, control.text, control.style, control.x, control.y,
                    control.width, control.height, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
  }
}

void set_details_visible(HWND window, bool show) {
  HWND box = GetDlgItem(window, details_box_id);
  HWND button = GetDlgItem(window, details_button_id);
  if (box != nullptr) ShowWindow(box, show ? SW_SHOW : SW_HIDE);
  if (button != nullptr) SetWindowTextW(button, show ? L"收起详情" : L"查看详情");
  int height = show                        ? height_expanded
               : has_visible_style(button) ? height_details_button
                                           : height_compact;
  SetWindowPos(window, nullptr, 0, 0, window_width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void Win32OperationView::set_button_enabled(int id, bool enabled) {
  if (HWND button = GetDlgItem(window_, id)) EnableWindow(button, enabled ? TRUE : FALSE);
}

void Win32OperationView::repaint() { UpdateWindow(window_); }

void Win32OperationView::set_details_text(std::string_view text) {
  if (HWND box = GetDlgItem(window_, details_box_id)) {
    SetWindowTextW(box, to_wide(text).c_str());
  }
}

void Win32OperationView::show_details_button(bool show) {
  if (HWND button = GetDlgItem(window_, details_button_id)) {
    ShowWindow(button, show ? SW_SHOW : SW_HIDE);
  }
}

void Win32OperationView::set_details_visible(bool show) {
  mossglow::set_details_visible(window_, show);
}

}  // namespace mossglow
