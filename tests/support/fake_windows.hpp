#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.hpp"
#include "platform/patient_file_system.hpp"
#include "platform/system.hpp"
#include "support/fake_desktop_view.hpp"
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

// Waits by moving the fake volume's clock: a lock held for a while runs out, and no test
// ever sleeps.
class FakeWaiter final : public Waiter {
 public:
  explicit FakeWaiter(FakeFileSystem& files) : files_(files) {}
  void wait(std::chrono::milliseconds pause) override {
    files_.advance(pause);
    waits_.push_back(pause);
  }
  const std::vector<std::chrono::milliseconds>& waits() const { return waits_; }

 private:
  FakeFileSystem& files_;
  std::vector<std::chrono::milliseconds> waits_;
};

// The machine's state after one change: the files and the registry as they were in
// memory at that moment. FakeWindows::load turns it into what a stop leaves.
struct Snapshot {
  std::string operation;  // the call that made the change ("write_file", "set_value")
  std::string path;       // what it changed
  std::string step;       // how far a multi-step call got; empty for a one-step call
  FakeFileSystem::State files;
  FakeRegistry::State registry;
  int call = 0;  // the mutating call that made the change, counted from 1 as the plan's

  // "write_file C:\x.tmp (half the bytes written)", for test traces.
  std::string describe() const;
};

// A whole fake Windows: a user profile with both desktops and LOCALAPPDATA set.
//
// Its one fault plan sees every call the program makes of the files, the shell and the
// registry: it counts them, fails those a test asks to fail, and runs a test's hooks
// around them (see FaultPlan).
//
// It keeps the one timeline of the machine for crash and power-cut sweeps: with
// recording on, every change the files, the shell or the registry make appends a
// snapshot, and `load` puts a fresh fake Windows into the state a crash or a power cut
// at that moment leaves.
struct FakeWindows final : private Observer {
  FaultPlan faults;
  FakeFileSystem files{faults, *this};
  // What the program gets: the file calls with its patience for brief locks.
  FakeWaiter waiter{files};
  PatientFileSystem patient_files{files, waiter};
  FakeShell shell{files, faults};
  FakeEnvironment env;
  FakeMessages messages;
  FakeRegistry registry{faults, *this};
  FakeDesktopView view{files};

  FakeWindows();
  // The parts report to this object, so it stays where it was made.
  FakeWindows(const FakeWindows&) = delete;
  FakeWindows& operator=(const FakeWindows&) = delete;

  // What one operation gets: each call starts a new budget for waiting out locks.
  System system() {
    patient_files.renew_budget();
    return System{patient_files, shell, env, messages, registry, view, waiter};
  }

  void record_history(bool on) { recording_ = on; }
  const std::vector<Snapshot>& history() const { return history_; }
  // The state now, as a snapshot (recorded or not).
  Snapshot snapshot(std::string operation = "now") const;
  // Replaces files and registry with the snapshot's as a stop of this kind leaves them.
  void load(const Snapshot& snapshot, Stop stop);

 private:
  void changed(Op operation, std::string_view path, std::string_view step) override;

  bool recording_ = false;
  std::vector<Snapshot> history_;
};

}  // namespace mossglow::fake
