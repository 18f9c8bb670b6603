#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/environment.hpp"
#include "platform/system.hpp"
#include "support/fake_file_system.hpp"
#include "support/fake_messages.hpp"
#include "support/fake_registry.hpp"
#include "support/fake_shell.hpp"

namespace mossglow::fake {

inline constexpr std::string_view user_desktop = "C:\\Users\\user\\Desktop";
inline constexpr std::string_view public_desktop = "C:\\Users\\Public\\Desktop";
inline constexpr std::string_view local_app_data = "C:\\Users\\user\\AppData\\Local";

class FakeEnvironment final : public Environment {
 public:
  FakeEnvironment();
  std::optional<std::string> variable(std::string_view name) override;
  ComResult<std::string> known_folder(KnownFolder folder) override;
  // The system code page taken as Windows-1252 (fake_ansi.cpp).
  OsResult<std::u16string> ansi_to_utf16(std::string_view bytes) override;

  void set_variable(std::string name, std::optional<std::string> value);
  void set_known_folder(KnownFolder folder, ComResult<std::string> answer);
  // Makes every later code-page conversion fail with this code (nothing: succeed).
  void fail_ansi_conversion(std::optional<Win32Error> error) { ansi_failure_ = error; }

 private:
  std::map<std::string, std::string> variables_;
  std::map<KnownFolder, ComResult<std::string>> folders_;
  std::optional<Win32Error> ansi_failure_;
};

// A whole fake Windows: a user profile with both desktops and LOCALAPPDATA set.
struct FakeWindows {
  FakeFileSystem files;
  FakeShell shell{files};
  FakeEnvironment env;
  FakeMessages messages;
  FakeRegistry registry;

  FakeWindows();
  System system() { return System{files, shell, env, messages, registry}; }
};

}  // namespace mossglow::fake
