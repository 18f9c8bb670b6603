#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>

#include "main/operation_outcome.hpp"
#include "platform/environment.hpp"
#include "platform/result.hpp"
#include "shortcuts/desktop_folders.hpp"
#include "state/detailed_record.hpp"

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

// The steps the runner calls, injectable so that its rules are tested without Windows.
struct OperationSteps {
  std::function<Result<std::string>()> data_directory;
  // Resolves a known folder to its path or to the Windows error text.
  std::function<Result<std::string>(KnownFolder)> known_folder;
  std::function<OperationOutcome(const std::string& user_desktop, const std::string& public_desktop,
                                 const std::string& data_directory)>
      apply_skin;
  // The restore steps touch only what an apply could have written on these desktops.
  std::function<Result<Section>(const DesktopFolders& desktops, const std::string& data_directory)>
      restore_overlay;
  std::function<Result<Section>(const std::string& data_directory)> restore_recycle_icon;
  std::function<Result<Section>(const DesktopFolders& desktops, const std::string& data_directory)>
      restore_shortcuts;
  std::function<void(const std::string& user_desktop, const std::string& public_desktop)>
      notify_desktops_updated;
  std::function<void()> notify_associations_changed;
  // Windows error text for an HRESULT (used when the lock cannot be created).
  std::function<std::string(HResult)> windows_error_text;
};

// Carries out one button press: "apply" or "restore" (any other name is refused).
void run_operation(OperationView& view, OperationLock& lock, const OperationSteps& steps,
                   std::string_view operation);

}  // namespace mossglow
