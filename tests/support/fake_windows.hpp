#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.hpp"
#include "platform/system.hpp"
#include "support/fake_file_system.hpp"
#include "support/fake_messages.hpp"
#include "support/fake_registry.hpp"
#include "support/fake_shell.hpp"
#include "support/fake_timeline.hpp"

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

// The machine's state after one change: the files and the registry as they were in
// memory at that moment. FakeWindows::load turns it into what a stop leaves.
struct Snapshot {
  std::string operation;  // the call that made the change ("write_file", "set_value")
  std::string path;       // what it changed
  std::string step;       // how far a multi-step call got; empty for a one-step call
  FakeFileSystem::State files;
  FakeRegistry::State registry;
  int call = 0;  // the mutating call that made the change, counted from 1 as `mutations`

  // "write_file C:\x.tmp (half the bytes written)", for test traces.
  std::string describe() const;
};

// A whole fake Windows: a user profile with both desktops and LOCALAPPDATA set.
//
// It keeps the one timeline of the machine for crash and power-cut sweeps: with
// recording on, every change the files, the shell or the registry make appends a
// snapshot, and `load` puts a fresh fake Windows into the state a crash or a power cut
// at that moment leaves. It also counts every mutating call across files, shell and
// registry, and can fail the n-th of them (the shell's with the code as an HRESULT).
struct FakeWindows final : private Observer {
  FakeFileSystem files;
  FakeShell shell{files};
  FakeEnvironment env;
  FakeMessages messages;
  FakeRegistry registry;

  FakeWindows();
  // The parts report to this object, so it stays where it was made.
  FakeWindows(const FakeWindows&) = delete;
  FakeWindows& operator=(const FakeWindows&) = delete;

  System system() { return System{files, shell, env, messages, registry}; }

  void record_history(bool on) { recording_ = on; }
  const std::vector<Snapshot>& history() const { return history_; }
  // The state now, as a snapshot (recorded or not).
  Snapshot snapshot(std::string operation = "now") const;
  // Replaces files and registry with the snapshot's as a stop of this kind leaves them.
  void load(const Snapshot& snapshot, Stop stop);

  // The nth mutating call since this fake Windows was made (counted from 1, as
  // `mutations` counts) fails with this Win32 code before it changes anything; but a
  // replace_file failing with ERROR_UNABLE_TO_MOVE_REPLACEMENT has already removed the
  // replaced file, as ReplaceFileW has. Mutating calls: the file calls that write,
  // rename, delete, flush, set attributes or create folders; the shell's link and
  // internet-shortcut saves; the registry's create_key, set_value, delete_value and
  // flush_key.
  void fail_mutation(int nth, std::uint32_t win32_code) { mutation_failures_[nth] = win32_code; }
  // Mutating calls made so far, failed ones included.
  int mutations() const { return static_cast<int>(mutating_calls_.size()); }
  // Each mutating call as "operation path", in order.
  const std::vector<std::string>& mutating_calls() const { return mutating_calls_; }

 private:
  std::optional<std::uint32_t> mutating_call(std::string_view operation,
                                             std::string_view path) override;
  void changed(std::string_view operation, std::string_view path, std::string_view step) override;

  bool recording_ = false;
  std::vector<Snapshot> history_;
  std::map<int, std::uint32_t> mutation_failures_;
  std::vector<std::string> mutating_calls_;
};

}  // namespace mossglow::fake
