#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>

#include "operations/outcome.hpp"
#include "platform/error_text.hpp"
#include "platform/result.hpp"

namespace mossglow {

inline constexpr int apply_button_id = 1;
inline constexpr int restore_button_id = 2;
inline constexpr int details_button_id = 4;
inline constexpr int details_box_id = 6;

// The main window as the runner sees it. The Win32 window implements it with
// EnableWindow, UpdateWindow, SetWindowTextW and ShowWindow; tests record the calls.
class OperationView {
 public:
  virtual ~OperationView() = default;
  virtual void set_button_enabled(int id, bool enabled) = 0;
  // Paints the window now (UpdateWindow), before the long blocking work starts.
  virtual void repaint() = 0;
  // The details box's text, already converted to CR LF line breaks.
  virtual void set_details_text(std::string_view text) = 0;
  virtual void show_details_button(bool show) = 0;
  // The details toggle: shows or hides the box, sets the button caption, resizes.
  virtual void set_details_visible(bool show) = 0;
};

// The operation lock: the named mutex "Local\MossglowOperationMutex".
class OperationLock {
 public:
  enum class Attempt { acquired, busy };
  virtual ~OperationLock() = default;
  // CreateMutexW with initial ownership. `busy` when the mutex already existed (the
  // handle is then closed again); the HRESULT of the last error when no handle came.
  virtual std::expected<Attempt, HResult> acquire() = 0;
  // ReleaseMutex and CloseHandle; failures are ignored.
  virtual void release() = 0;
};

// What the two buttons do, and where system messages come from (for the lock's
// errors). The program wires the roads to the operations on the real Windows; tests
// script them, so that the runner's own rules are tested apart.
struct OperationRoads {
  std::function<OperationOutcome()> apply;
  std::function<OperationOutcome()> restore;
  const MessageSource& messages;
};

// Carries out one button press: "apply" or "restore" (any other name is refused).
void run_operation(OperationView& view, OperationLock& lock, const OperationRoads& roads,
                   std::string_view operation);

// The edit control shows only CR LF as a line break: CR LF and lone LF both become
// CR LF. A lone CR is left alone.
std::string to_edit_line_breaks(std::string_view text);

}  // namespace mossglow
