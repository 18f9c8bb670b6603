#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system.hpp"

namespace mossglow::contract {

// The Windows layer under test: the fake natively, the Win32 implementation under Wine.
// Every contract test runs against both; where they disagree, the fake is wrong.
class ContractPlatform {
 public:
  virtual ~ContractPlatform() = default;
  virtual System system() = 0;
  // A fresh, empty directory for one test (an absolute path).
  virtual std::string make_scratch_directory() = 0;
  // A fresh subkey path under HKEY_CURRENT_USER that does not exist yet; whatever the
  // test creates under it is removed when the platform goes away.
  virtual std::string make_scratch_key() = 0;
  virtual bool is_fake() const = 0;
  // True when the Win32 implementation runs under Wine, whose answers differ from
  // Windows' in a few measured places (see contract_fixture.hpp).
  virtual bool is_wine() const = 0;
  // Makes a symbolic link to `target`; false when the platform cannot make one.
  virtual bool make_symlink(std::string_view link, std::string_view target, bool directory) = 0;
  // Makes a new file of `size` bytes as cheaply as the platform can (a file whose end
  // is set past bytes never written); false when it cannot.
  virtual bool make_large_file(std::string_view path, std::uint64_t size) = 0;
  // Has another holder open the existing file without sharing it, as a scanner or a
  // sync client does, for `duration`; returns once the file is held.
  virtual void hold_open(std::string_view path, std::chrono::milliseconds duration) = 0;
};

std::unique_ptr<ContractPlatform> make_contract_platform();

}  // namespace mossglow::contract
