#pragma once

namespace mossglow::e2e {

// The steps of tests/e2e/run-e2e that set the program on desktops as a real machine has
// them:
//   seed-real          lays out both desktops, names that only look like short aliases
//                      among them, and saves what the user sees
//   read-only-public   with the public desktop made read-only beforehand (as a program
//                      without elevation finds it): the apply fails each public item alone
//                      and journals none of them, one restore gives everything back, and
//                      the next apply is not refused
//   cut-links          an apply whose covering links are then emptied or cut short and
//                      their items shown again, as a stop before the hiding leaves them:
//                      one restore removes the links and leaves no journal
// The exit status (or -1 when argv[1] names none of these).
int run_real_desktop_command(int argc, wchar_t** argv);

}  // namespace mossglow::e2e
