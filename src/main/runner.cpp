#include "main/runner.hpp"

#include "main/report.hpp"

namespace mossglow {
namespace {

constexpr std::string_view lock_busy = "另一次换肤或还原正在进行，请等待完成。";
constexpr std::string_view unknown_operation = "未知操作。";
constexpr std::string_view recycle_failed = "回收站还原失败：";

constexpr int operation_buttons[] = {apply_button_id, restore_button_id, details_button_id};

void set_buttons_enabled(OperationView& view, bool enabled) {
  for (const int id : operation_buttons) view.set_button_enabled(id, enabled);
}

OperationOutcome run_apply(const OperationSteps& steps) {
  auto user_desktop = steps.known_folder(KnownFolder::desktop);
  if (!user_desktop) return std::unexpected(user_desktop.error());
  auto public_desktop = steps.known_folder(KnownFolder::public_desktop);
  if (!public_desktop) return std::unexpected(public_desktop.error());
  auto data_directory = steps.data_directory();
  if (!data_directory) return std::unexpected(data_directory.error());
  return steps.apply_skin(*user_desktop, *public_desktop, *data_directory);
}

// Overlay first, then the Recycle Bin, then the shortcuts; each step returns before the
// next one starts. Only a failure of the overlay or shortcut step as a whole ends the
// restore; the Recycle Bin's failure becomes part of the report.
OperationOutcome run_restore(const OperationSteps& steps) {
  auto data_directory = steps.data_directory();
  if (!data_directory) return std::unexpected(data_directory.error());
  // A journal only names places; whether a place is one an apply could have written
  // is judged against the desktops as they resolve now, never against the journal.
  auto user_desktop = steps.known_folder(KnownFolder::desktop);
  if (!user_desktop) return std::unexpected(user_desktop.error());
  auto public_desktop = steps.known_folder(KnownFolder::public_desktop);
  if (!public_desktop) return std::unexpected(public_desktop.error());
  const DesktopFolders desktops{*user_desktop, *public_desktop};

  auto overlay = steps.restore_overlay(desktops, *data_directory);
  if (!overlay) return std::unexpected(overlay.error());

  auto recycle = steps.restore_recycle_icon(*data_directory);
  const Section recycle_section =
      recycle ? std::move(*recycle) : Section{std::string(recycle_failed) + recycle.error(), true};

  auto shortcuts = steps.restore_shortcuts(desktops, *data_directory);
  if (!shortcuts) return std::unexpected(shortcuts.error());

  steps.notify_desktops_updated(*user_desktop, *public_desktop);

  Report report = compose_restore_report(*shortcuts, *overlay, recycle_section);
  steps.notify_associations_changed();
  return report;
}

OperationOutcome dispatch(const OperationSteps& steps, std::string_view operation) {
  if (operation == "restore") return run_restore(steps);
  if (operation == "apply") return run_apply(steps);
  return std::unexpected(std::string(unknown_operation));
}

void present(OperationView& view, const OperationOutcome& outcome) {
  std::string_view text;
  bool show = true;
  if (!outcome) {
    text = outcome.error();
  } else if (outcome->needs_attention) {
    text = outcome->text;
  } else {
    // A fully successful run shows nothing at all.
    show = false;
  }
  view.set_details_text(to_edit_line_breaks(text));
  view.show_details_button(show);
  view.set_details_visible(show);
}

OperationOutcome locked_run(OperationLock& lock, const OperationSteps& steps,
                            std::string_view operation) {
  const auto attempt = lock.acquire();
  if (!attempt) return std::unexpected(steps.windows_error_text(attempt.error()));
  // The lock belongs to the other run; it is not ours to release.
  if (*attempt == OperationLock::Attempt::busy) return std::unexpected(std::string(lock_busy));

  OperationOutcome outcome = dispatch(steps, operation);
  lock.release();
  return outcome;
}

}  // namespace

void run_operation(OperationView& view, OperationLock& lock, const OperationSteps& steps,
                   std::string_view operation) {
  set_buttons_enabled(view, false);
  // The work below blocks the window's thread: paint the disabled buttons first.
  view.repaint();

  const OperationOutcome outcome = locked_run(lock, steps, operation);

  present(view, outcome);
  set_buttons_enabled(view, true);
}

}  // namespace mossglow
