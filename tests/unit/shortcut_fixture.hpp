#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "desktop/places.hpp"
#include "platform/desktop_folders.hpp"
#include "platform/path.hpp"
#include "state/backup_journal.hpp"
#include "state/detailed_record.hpp"
#include "support/fake_windows.hpp"

namespace mossglow::testing_support {

inline constexpr std::string_view data_dir = "C:\\Users\\user\\AppData\\Local\\MossglowHome";
inline constexpr std::string_view icon_path =
    "C:\\Users\\user\\AppData\\Local\\MossglowHome\\brambun.ico";

inline std::string on_user(std::string_view name) { return join_path(fake::user_desktop, name); }
inline std::string on_public(std::string_view name) {
  return join_path(fake::public_desktop, name);
}
inline std::string in_data(std::string_view name) { return join_path(data_dir, name); }
inline std::string original_copy(std::string_view name) {
  return join_path(join_path(data_dir, "originals"), name);
}

inline std::string link_to(std::string_view target) {
  return fake::FakeShell::link_bytes(LinkInfo{std::string(target), "--flag", "C:\\Tools", "", 0});
}

inline std::string url_to(std::string_view address) {
  return "[InternetShortcut]\r\nURL=" + std::string(address) + "\r\n";
}

// A step's section as its text alone, for tests that look only at what is shown.
inline Result<std::string> text_of(const Result<Section>& section) {
  if (!section) return std::unexpected(section.error());
  return section->text;
}

// The backup journal's records on the fake disk; none when there is no journal.
inline std::vector<Record> backup_records(const fake::FakeWindows& w) {
  auto records = parse_backup_journal(w.files.content(in_data("backup.json")).value_or("[]"));
  EXPECT_TRUE(records) << records.error();
  return records.value_or(std::vector<Record>{});
}

inline DesktopFolders both_desktops() {
  return {std::string(fake::user_desktop), std::string(fake::public_desktop)};
}

// The places a restore acts on, with both desktops where the apply found them.
inline DesktopPlaces places_of(fake::FakeWindows& w,
                               const DesktopFolders& desktops = both_desktops()) {
  return DesktopPlaces::survey(w.system(), {desktops[0], desktops[1]}, data_dir);
}

}  // namespace mossglow::testing_support
