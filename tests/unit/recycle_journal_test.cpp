#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recycle/icon_values.hpp"
#include "recycle/journal.hpp"
#include "shortcut_fixture.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

// Expected results compare with expected results only (an optional beside them is
// ambiguous).
template <class T>
Result<T> ok(T value) {
  return value;
}

const Value absent_default{"", std::nullopt, Raw{reg_sz, {0x43, 0, 0x3A, 0, 0, 0}}};
const Value captured_full{"full", Raw{reg_expand_sz, {0x25, 0, 0, 0}}, Raw{reg_sz, {}}};

constexpr std::string_view written_journal =
    "[\n"
    "  {\n"
    "    \"name\": \"\",\n"
    "    \"original\": null,\n"
    "    \"replacement\": {\n"
    "      \"kind\": 1,\n"
    "      \"bytes\": [\n"
    "        67,\n"
    "        0,\n"
    "        58,\n"
    "        0,\n"
    "        0,\n"
    "        0\n"
    "      ]\n"
    "    }\n"
    "  },\n"
    "  {\n"
    "    \"name\": \"full\",\n"
    "    \"original\": {\n"
    "      \"kind\": 2,\n"
    "      \"bytes\": [\n"
    "        37,\n"
    "        0,\n"
    "        0,\n"
    "        0\n"
    "      ]\n"
    "    },\n"
    "    \"replacement\": {\n"
    "      \"kind\": 1,\n"
    "      \"bytes\": []\n"
    "    }\n"
    "  }\n"
    "]";

TEST(RecycleJournal, WritesThePrettyLayoutAndReadsItBack) {
  const std::vector<Value> records{absent_default, captured_full};
  EXPECT_EQ(serialize_recycle_journal(records), std::string(written_journal));
  EXPECT_EQ(parse_recycle_journal(written_journal), records);
  EXPECT_EQ(serialize_recycle_journal({}), "[]");
  EXPECT_EQ(parse_recycle_journal("[]"), std::vector<Value>{});
}

TEST(RecycleJournal, ExtremesOfKindAndBytesSurviveTheRoundTrip) {
  Bytes every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<std::uint8_t>(b));
  const std::vector<Value> records{
      {"empty", Raw{0xFFFFFFFFu, every_byte}, Raw{0, {}}},
  };
  const auto text = serialize_recycle_journal(records);
  ASSERT_TRUE(text);
  EXPECT_EQ(parse_recycle_journal(*text), records);
}

class ReadValueState : public ::testing::Test {
 protected:
  static constexpr std::string_view key_path = "Software\\Test";
  fake::FakeWindows w;
  const System sys = w.system();

  Result<std::optional<Raw>> state(std::string_view name) {
    auto key = w.registry.open_key(RegistryRoot::current_user, key_path, key_read);
    EXPECT_TRUE(key);
    return read_value_state(sys, *key, name);
  }
};

TEST_F(ReadValueState, CapturesTypeAndBytesExactly) {
  const Bytes expand = fake::utf16_string_bytes("%SystemRoot%\\System32\\imageres.dll,-54");
  w.registry.put_value(RegistryRoot::current_user, key_path, "", {reg_expand_sz, expand});
  w.registry.put_value(RegistryRoot::current_user, key_path, "empty", {reg_binary, {}});
  EXPECT_EQ(state(""), ok(std::optional(Raw{reg_expand_sz, expand})));
  EXPECT_EQ(state("EMPTY"), ok(std::optional(Raw{reg_binary, {}})));
  EXPECT_EQ(state("full"), ok(std::optional<Raw>{}));
}

TEST_F(ReadValueState, OnlyTheNotFoundFamilyCountsAsAbsent) {
  w.registry.put_value(RegistryRoot::current_user, key_path, "v", {reg_sz, {0, 0}});
  for (const std::uint32_t code : {2u, 3u, 15u, 53u, 67u}) {
    w.faults.fail_nth(fake::Op::query_value, 1, code);
    EXPECT_EQ(state("v"), ok(std::optional<Raw>{})) << code;
  }
  for (const std::uint32_t code : {1u, 5u, 6u, 87u, 1018u}) {
    w.faults.fail_nth(fake::Op::query_value, 1, code);
    EXPECT_EQ(state("v"), std::unexpected(sys.os_text(Win32Error{code}))) << code;
  }
  EXPECT_EQ(w.registry.open_keys(), 0u);
}

}  // namespace
}  // namespace mossglow
