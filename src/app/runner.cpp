#include "app/runner.hpp"

namespace mossglow {
namespace {

constexpr std::string_view lock_busy = "另一次换肤或还原正在进行，请等待完成。";
constexpr std::string_view unknown_operation = "未知操作。";

constexpr int operation_buttons[] = {apply_button_id, restore_button_id, details_button_id};

void set_buttons_enabled(OperationView& view, bool enabled) {
  for (const int id : operation_buttons) view.set_button_enabled(id, enabled);
}

OperationOutcome dispatch(const OperationRoads& roads, std::string_view operation) {
  if (operation == "restore") return roads.restore();
  if (operation == "apply") return roads.apply();
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

OperationOutcome locked_run(OperationLock& lock, const OperationRoads& roads,
                            std::string_view operation) {
  const auto attempt = lock.acquire();
  if (!attempt) return std::unexpected(windows_error_text(roads.messages, attempt.error()));
  // The lock belongs to the other run; it is not ours to release.
  if (*attempt == OperationLock::Attempt::busy) return std::unexpected(std::string(lock_busy));

  OperationOutcome outcome = dispatch(roads, operation);
  lock.release();
  return outcome;
}

}  // namespace

void run_operation(OperationView& view, OperationLock& lock, const OperationRoads& roads,
                   std::string_view operation) {
  set_buttons_enabled(view, false);
  // The work below blocks the window's thread: paint the disabled buttons first.
  view.repaint();

  const OperationOutcome outcome = locked_run(lock, roads, operation);

  present(view, outcome);
  set_buttons_enabled(view, true);
}

std::string to_edit_line_breaks(std::string_view text) {
  std::string converted;
  converted.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      converted += "\r\n";
      ++i;
    } else if (text[i] == '\n') {
      converted += "\r\n";
    } else {
      converted += text[i];
    }
  }
  return converted;
}

}  // namespace mossglow
