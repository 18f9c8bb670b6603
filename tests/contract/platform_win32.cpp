#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <gtest/gtest.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "contract_platform.hpp"
#include "platform/path.hpp"
#include "platform/system_win32.hpp"
#include "platform/text.hpp"
#include "support/scratch_win32.hpp"

namespace mossglow::contract {
namespace {

using testing_support::remove_tree;
using testing_support::wide;

std::string narrow(const wchar_t* text) {
  return to_wtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}

constexpr const wchar_t* scratch_key_parent = L"Software\\MossglowContractTests";

class Win32Platform final : public ContractPlatform {
 public:
  ~Win32Platform() override {
    for (auto& holder : holders_) holder.join();
    // In the long form, so that folders the tests made past MAX_PATH go too.
    for (const auto& folder : scratch_) remove_tree(L"\\\\?\\" + folder);
    for (const auto& key : scratch_keys_) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    // Only goes when no other test binary still has keys under it.
    RegDeleteKeyW(HKEY_CURRENT_USER, scratch_key_parent);
  }

  System system() override { return windows_.sys; }

  std::string make_scratch_directory() override {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_GT(length, 0u) << "GetTempPathW failed: " << GetLastError();
    // Unique across test binaries running at once and across calls in one.
    for (;;) {
      const std::wstring name =
          std::wstring(temp) + L"mossglow-contract-" + std::to_wstring(GetCurrentProcessId()) +
          L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++count_);
      if (CreateDirectoryW(name.c_str(), nullptr)) {
        scratch_.push_back(name);
        return narrow(name.c_str());
      }
      const DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) {
        ADD_FAILURE() << "cannot create a scratch directory: " << error;
        return narrow(name.c_str());
      }
    }
  }

  std::string make_scratch_key() override {
    const std::wstring name = std::wstring(scratch_key_parent) + L"\\" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++count_);
    scratch_keys_.push_back(name);
    return narrow(name.c_str());
  }

  bool is_fake() const override { return false; }

  bool is_wine() const override {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }

  bool make_large_file(std::string_view path, std::uint64_t size) override {
    const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
  }

  void hold_open(std::string_view path, std::chrono::milliseconds duration) override {
    const HANDLE held = CreateFileW(wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << "cannot hold " << path << ": " << GetLastError();
    holders_.emplace_back([held, duration] {
      Sleep(static_cast<DWORD>(duration.count()));
      CloseHandle(held);
    });
  }

  bool make_symlink(std::string_view link, std::string_view target, bool directory) override {
    const DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE |
                        (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    if (!CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags)) return false;
    // Some Wine versions report success without making anything.
    const DWORD attributes = GetFileAttributesW(wide(link).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }

 private:
  Win32System windows_;
  std::vector<std::wstring> scratch_;
  std::vector<std::wstring> scratch_keys_;
  std::vector<std::thread> holders_;
  unsigned count_ = 0;
};

// The shell and the known folders need the test thread in a single-threaded apartment,
// as the program's own thread is.
class ComApartment final : public ::testing::Environment {
 public:
  void SetUp() override {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(result)) << "CoInitializeEx: " << std::hex << result;
  }
  void TearDown() override { CoUninitialize(); }
};

[[maybe_unused]] const auto* const com_apartment =
    ::testing::AddGlobalTestEnvironment(new ComApartment);

}  // namespace

std::unique_ptr<ContractPlatform> make_contract_platform() {
  return std::make_unique<Win32Platform>();
}

}  // namespace mossglow::contract
