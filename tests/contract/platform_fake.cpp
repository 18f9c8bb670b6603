#include <memory>
#include <string>

#include "contract_platform.hpp"
#include "support/fake_windows.hpp"

namespace mossglow::contract {
namespace {

class FakePlatform final : public ContractPlatform {
 public:
  System system() override { return windows_.system(); }
  std::string make_scratch_directory() override {
    const std::string path = "C:\\scratch\\" + std::to_string(++count_);
    windows_.files.add_directory(path);
    return path;
  }
  std::string make_scratch_key() override {
    return "Software\\MossglowContractTests\\" + std::to_string(++count_);
  }
  bool is_fake() const override { return true; }
  bool is_wine() const override { return false; }
  bool make_symlink(std::string_view link, std::string_view target, bool directory) override {
    windows_.files.add_symlink(link, target, directory);
    return true;
  }
  bool make_large_file(std::string_view path, std::uint64_t size) override {
    windows_.files.add_file(path, std::string(size, '\0'));
    return true;
  }
  void hold_open(std::string_view path, std::chrono::milliseconds duration) override {
    windows_.files.lock_for(path, duration);
  }

 private:
  fake::FakeWindows windows_;
  int count_ = 0;
};

}  // namespace

std::unique_ptr<ContractPlatform> make_contract_platform() {
  return std::make_unique<FakePlatform>();
}

}  // namespace mossglow::contract
