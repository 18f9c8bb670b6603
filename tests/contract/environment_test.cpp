#include "contract_fixture.hpp"

namespace mossglow::contract {
namespace {

using EnvironmentContract = ContractTest;

TEST_F(EnvironmentContract, LocalAppDataNamesAnExistingFolderWhateverTheCase) {
  const auto value = system_.env.variable("LOCALAPPDATA");
  ASSERT_TRUE(value);
  ASSERT_FALSE(value->empty());
  EXPECT_TRUE(files_.metadata(*value).value_or(FileMetadata{}).is_directory()) << *value;
  EXPECT_EQ(system_.env.variable("LocalAppData"), value);
}

TEST_F(EnvironmentContract, AnUnsetVariableIsNothing) {
  EXPECT_FALSE(system_.env.variable("MOSSGLOW_CONTRACT_NEVER_SET"));
}

TEST_F(EnvironmentContract, BothDesktopsAreDistinctExistingFolders) {
  const auto user = system_.env.known_folder(KnownFolder::desktop);
  const auto shared = system_.env.known_folder(KnownFolder::public_desktop);
  ASSERT_TRUE(user) << std::hex << user.error().value;
  ASSERT_TRUE(shared) << std::hex << shared.error().value;
  EXPECT_NE(ascii_lower(*user), ascii_lower(*shared));
  for (const std::string& folder : {*user, *shared}) {
    // Absolute drive paths, which the program joins names onto.
    ASSERT_GE(folder.size(), 3u);
    EXPECT_EQ(folder.substr(1, 2), ":\\") << folder;
    EXPECT_TRUE(files_.metadata(folder).value_or(FileMetadata{}).is_directory()) << folder;
  }
}

// The code page differs between installations (Wine's zh_CN prefix uses GBK), but
// every ANSI code page keeps ASCII as it is and yields no more units than bytes.
TEST_F(EnvironmentContract, TheAnsiCodePageKeepsAsciiAndNeverGrowsTheText) {
  EXPECT_EQ(system_.env.ansi_to_utf16("[InternetShortcut]\r\nURL=steam://run/1"),
            std::u16string(u"[InternetShortcut]\r\nURL=steam://run/1"));
  EXPECT_EQ(system_.env.ansi_to_utf16(""), std::u16string());
  const auto high = system_.env.ansi_to_utf16("caf\xE9 \xC4\xE3");
  ASSERT_TRUE(high) << high.error().code;
  EXPECT_LE(high->size(), 7u);
  EXPECT_TRUE(high->starts_with(u"caf"));
}

}  // namespace
}  // namespace mossglow::contract
