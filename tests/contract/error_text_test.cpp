#include "contract_fixture.hpp"

namespace mossglow::contract {
namespace {

using ErrorTextContract = ContractTest;

// Expected texts come from the platform's own messages, never from a fixed wording:
// Wine words them differently from Windows, and in the user's language.
TEST_F(ErrorTextContract, OsErrorTextIsTheTrimmedMessageAndTheCode) {
  for (const std::uint32_t code :
       {error_file_not_found, error_path_not_found, error_access_denied, error_file_exists}) {
    const auto message = system_.messages.system_message(code);
    ASSERT_TRUE(message) << code;
    // Untrimmed, as the system gives it.
    EXPECT_TRUE(message->ends_with("\r\n")) << *message;
    EXPECT_TRUE(is_valid_utf8(*message));
    const std::string trimmed = trim_end_unicode(*message);
    ASSERT_FALSE(trimmed.empty()) << code;
    EXPECT_EQ(os_error_text(system_.messages, Win32Error{code}),
              trimmed + " (os error " + std::to_string(code) + ")");
  }
}

TEST_F(ErrorTextContract, WindowsErrorTextOfAWin32Code) {
  const std::string text = windows_error_text(system_.messages, hresult_from_win32(2));
  EXPECT_TRUE(text.ends_with(" (0x80070002)")) << text;
  const auto message = system_.messages.system_message(0x80070002u);
  const std::string expected =
      message ? trim_end_unicode(*message) + " (0x80070002)" : std::string("0x80070002");
  EXPECT_EQ(text, expected);
}

TEST_F(ErrorTextContract, CodeWithoutAMessageKeepsOnlyTheNumber) {
  // Windows has a message for 222; Wine (which this suite is measured against) and the
  // fake have none, which exercises the formatters' empty-message path.
  ASSERT_FALSE(system_.messages.system_message(error_bad_file_type));
  EXPECT_EQ(os_error_text(system_.messages, Win32Error{error_bad_file_type}), " (os error 222)");
  EXPECT_EQ(windows_error_text(system_.messages, hresult_from_win32(error_bad_file_type)),
            "0x800700DE");
}

}  // namespace
}  // namespace mossglow::contract
