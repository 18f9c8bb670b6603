#pragma once

#include <string>
#include <string_view>

#include "shortcut_fixture.hpp"
#include "support/fake_registry.hpp"

namespace mossglow::testing_support {

inline constexpr std::string_view steam_command_key = "steam\\shell\\open\\command";
inline constexpr std::string_view steam_exe = "C:\\Program Files (x86)\\Steam\\steam.exe";
inline constexpr std::string_view steam_folder = "C:\\Program Files (x86)\\Steam";

// Registers an open command for steam: addresses, as the Steam client does.
inline void register_steam_command(fake::FakeWindows& w, std::string_view command) {
  w.registry.put_value(RegistryRoot::classes_root, steam_command_key, "",
                       fake::StoredValue{reg_sz, fake::utf16_string_bytes(command)});
}

// steam.exe in its usual place, registered the usual way.
inline void install_steam(fake::FakeWindows& w) {
  w.files.add_directory("C:\\Program Files (x86)");
  w.files.add_directory(steam_folder);
  w.files.add_file(steam_exe, "MZ steam");
  register_steam_command(w, "\"" + std::string(steam_exe) + "\" -- \"%1\"");
}

// The link the conversion writes for a game address, byte for byte as the fake saves it.
inline std::string steam_link_bytes(std::string_view address) {
  return fake::FakeShell::link_bytes(
      LinkInfo{std::string(steam_exe), "-- \"" + std::string(address) + "\"",
               std::string(steam_folder), std::string(icon_path), 0},
      fake::FakeFileSystem::TargetInfo{file_attribute_archive, 8, 0, 1});
}

}  // namespace mossglow::testing_support
