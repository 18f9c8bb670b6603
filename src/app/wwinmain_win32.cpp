// The process start: COM for the shell link object, the window, the message loop.
#include <objbase.h>
#include <windows.h>

#include <string_view>

#include "app/operation_lock_win32.hpp"
#include "app/window_win32.hpp"
#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "platform/system_win32.hpp"

namespace {

constexpr int startup_failed = 1;

// A GUI program has no console; whoever started it may still be reading its stderr.
void write_diagnostic(std::string_view text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Every shell link call of the program runs on this thread and needs a
  // single-threaded apartment. The result is deliberately not checked: a thread that is
  // already initialised still works, and there is nothing else to fall back on.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (instance == nullptr) return startup_failed;
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (icon == nullptr) {
    write_diagnostic("加载Brambun图标失败\n");
    return startup_failed;
  }
  HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW);
  if (cursor == nullptr) return startup_failed;

  mossglow::register_window_class(instance, icon, cursor);
  HWND window = mossglow::create_main_window(instance, icon);
  if (window == nullptr) return startup_failed;

  mossglow::Win32System windows;
  const mossglow::System& sys = windows.sys;
  // Each operation waits for locks within a budget of its own.
  const mossglow::OperationRoads roads{[&windows, &sys] {
                                         windows.files.renew_budget();
                                         return mossglow::apply(sys);
                                       },
                                       [&windows, &sys] {
                                         windows.files.renew_budget();
                                         return mossglow::restore(sys);
                                       },
                                       windows.messages};
  mossglow::MutexOperationLock lock;
  mossglow::WindowContext context{lock, roads};
  mossglow::attach_context(window, context);

  mossglow::create_child_controls(window, instance);

  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    // -1 only comes with an invalid window filter; it would repeat forever.
    if (got == -1) return startup_failed;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
