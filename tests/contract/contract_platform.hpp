#pragma once

#include <memory>
#include <string>

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
  virtual bool is_fake() const = 0;
};

std::unique_ptr<ContractPlatform> make_contract_platform();

}  // namespace mossglow::contract
