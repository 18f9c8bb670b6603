#pragma once

namespace mossglow::e2e {

// The steps of tests/e2e/run-crash, which kills mossglow.exe in the middle of an apply
// or a restore:
//   seed-mixed                   lays out the mixed desktop and saves what the user sees
//   timed apply|restore          presses and waits; prints the milliseconds it took
//   post apply|restore [DELAY]   presses without waiting; with DELAY, waits until the
//                                operation has started and DELAY ms more; prints one line
//                                ("posted", "running" or "finished") for the kill to follow
//   recover                      prints what the kill left, then restores at most twice
//                                until the saved view is back and no journal is left
// The exit status (or -1 when argv[1] names none of these).
int run_crash_command(int argc, wchar_t** argv);

}  // namespace mossglow::e2e
