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

TEST(RecycleJournal, MissingOriginalReadsAsAbsentAndUnknownKeysAreIgnored) {
  const auto records = parse_recycle_journal(
      R"([{"name":"full","extra":[1,{"x":null}],"replacement":{"kind":1,"bytes":[0,0],"z":1}}])");
  ASSERT_TRUE(records) << records.error();
  EXPECT_EQ(*records, (std::vector<Value>{{"full", std::nullopt, Raw{reg_sz, {0, 0}}}}));
}

struct BadJournal {
  const char* name;
  const char* text;
  const char* error;
};

class RecycleJournalErrors : public ::testing::TestWithParam<BadJournal> {};

TEST_P(RecycleJournalErrors, RejectTheWholeFile) {
  const auto records = parse_recycle_journal(GetParam().text);
  ASSERT_FALSE(records);
  EXPECT_EQ(records.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecycleJournalErrors,
    ::testing::Values(
        BadJournal{"MissingName", R"([{"original":null,"replacement":{"kind":1,"bytes":[]}}])",
                   "missing field `name` at line 1 column 54"},
        BadJournal{"MissingReplacement", R"([{"name":"","original":null}])",
                   "missing field `replacement` at line 1 column 28"},
        BadJournal{"MissingKind", R"([{"name":"","replacement":{"bytes":[]}}])",
                   "missing field `kind` at line 1 column 38"},
        BadJournal{"MissingBytesInOriginal",
                   R"([{"name":"","original":{"kind":1},"replacement":{"kind":1,"bytes":[]}}])",
                   "missing field `bytes` at line 1 column 33"},
        BadJournal{"KindBeyond32Bits",
                   R"([{"name":"","replacement":{"kind":4294967296,"bytes":[]}}])",
                   "invalid value: integer `4294967296`, expected u32 at line 1 column 44"},
        BadJournal{"NegativeKind", R"([{"name":"","replacement":{"kind":-1,"bytes":[]}}])",
                   "invalid value: integer `-1`, expected u32 at line 1 column 36"},
        BadJournal{"ByteBeyond255", R"([{"name":"","replacement":{"kind":1,"bytes":[0,256]}}])",
                   "invalid value: integer `256`, expected u8 at line 1 column 50"},
        BadJournal{"BytesAsText", R"([{"name":"","replacement":{"kind":1,"bytes":"AAA="}}])",
                   "invalid type: string, expected an array at line 1 column 50"},
        BadJournal{
            "DuplicateOriginal",
            R"([{"name":"","original":null,"original":null,"replacement":{"kind":1,"bytes":[]}}])",
            "duplicate field `original` at line 1 column 38"},
        BadJournal{"NotAList", R"({"name":""})",
                   "invalid type: object, expected an array at line 1 column 1"},
        BadJournal{"Empty", "",
                   "syntax error while parsing value - unexpected end of input; expected '[', '{', "
                   "or a literal at line 1 column 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecycleJournal, SavedAndLoadedThroughTheJournalStorage) {
  fake::FakeWindows w;
  w.files.add_directory(data_dir);
  const System sys = w.system();
  EXPECT_EQ(load_recycle_journal(sys, data_dir), ok(std::optional<std::vector<Value>>{}));

  ASSERT_TRUE(save_recycle_journal(sys, data_dir, {absent_default, captured_full}));
  EXPECT_EQ(w.files.content(in_data("recycle.json")), std::string(written_journal));
  EXPECT_FALSE(w.files.exists(in_data("recycle.tmp")));
  EXPECT_EQ(load_recycle_journal(sys, data_dir),
            ok(std::optional(std::vector<Value>{absent_default, captured_full})));

  w.files.add_file(in_data("recycle.json"), "[");
  EXPECT_EQ(load_recycle_journal(sys, data_dir).error(),
            "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
            "literal at line 1 column 1");
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

TEST_F(ReadValueState, TypeAboveElevenIsAnErrorNotAbsence) {
  w.registry.put_value(RegistryRoot::current_user, key_path, "full", {12, {1}});
  EXPECT_EQ(state("full"), std::unexpected(sys.os_text(Win32Error{error_bad_file_type})));
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
