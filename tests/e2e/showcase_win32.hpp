#pragma once

namespace mossglow::e2e {

// The steps of tests/e2e/showcase, which shows the program's whole job on a sample
// desktop drawn by Wine's own desktop shell:
//   seed-showcase          lays out the sample desktop and saves what the user sees
//   shell hold             starts Wine's desktop shell on the desktop named "shell",
//                          waits until it idles, prints its icon grid ("grid CELL PER_ROW
//                          LEFT TOP WIDTH HEIGHT ICONS") and keeps it; at the end of its
//                          standard input closes it and waits until it has ended
//   listing                prints the entries of both desktops with the bits that decide
//                          whether Windows shows them ("user|public TAB folder,hidden,
//                          system or - TAB name")
//   operate apply|restore  presses the button and prints the time and what changed; the
//                          restore passes only when the saved view is back exactly
//                          (SHA-256 of both views)
// The exit status (or -1 when argv[1] names none of these).
int run_showcase_command(int argc, wchar_t** argv);

}  // namespace mossglow::e2e
