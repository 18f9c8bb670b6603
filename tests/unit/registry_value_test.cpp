#include "platform/registry_value.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "support/fake_windows.hpp"
#include "support/text_bytes.hpp"

namespace mossglow {
namespace {

using namespace std::string_view_literals;
using testing_support::utf16le;
using Bytes = std::vector<std::uint8_t>;
constexpr std::string_view key_path = "Software\\Test";

class ReadRegistryValue : public ::testing::Test {
 protected:
  fake::FakeWindows w;
  fake::FakeRegistry& registry = w.registry;

  void SetUp() override { registry.add_key(RegistryRoot::current_user, key_path); }

  OsResult<RegistryValue> read(std::string_view name) {
    auto key = registry.open_key(RegistryRoot::current_user, key_path, key_read);
    EXPECT_TRUE(key);
    return read_registry_value(registry, *key, name);
  }
  void put(std::string_view name, std::uint32_t type, Bytes bytes) {
    registry.put_value(RegistryRoot::current_user, key_path, name, {type, std::move(bytes)});
  }
};

TEST_F(ReadRegistryValue, GivesTypeAndExactBytesOfAnySize) {
  for (const std::size_t size : {0u, 1u, 2047u, 2048u, 2049u, 5000u, 70000u}) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    put("blob", reg_binary, bytes);
    const auto value = read("blob");
    ASSERT_TRUE(value) << size;
    EXPECT_EQ(*value, (RegistryValue{reg_binary, bytes})) << size;
  }
  EXPECT_EQ(registry.open_keys(), 0u);
}

TEST_F(ReadRegistryValue, EveryKnownTypeIsReadAndUnknownTypesAreRefused) {
  for (std::uint32_t type = 0; type <= reg_qword; ++type) {
    put("v", type, {1, 2, 3});
    const auto value = read("v");
    ASSERT_TRUE(value) << type;
    EXPECT_EQ(value->type, type);
  }
  for (const std::uint32_t type : {12u, 0x12345u, 0xFFFFFFFFu}) {
    put("v", type, {1, 2, 3});
    EXPECT_EQ(read("v"), std::unexpected(Win32Error{error_bad_file_type})) << type;
  }
}

// A registry that answers queries from a script and records the buffer sizes asked
// with, to pin down how the buffer grows.
class ScriptedRegistry final : public Registry {
 public:
  std::deque<ValueQuery> answers;
  Bytes data;
  std::vector<std::size_t> buffer_sizes;

  OsResult<RegistryKey> open_key(RegistryRoot, std::string_view, std::uint32_t) override {
    return RegistryKey(*this, 1);
  }
  OsResult<RegistryKey> create_key(RegistryRoot, std::string_view, std::uint32_t) override {
    return RegistryKey(*this, 1);
  }
  ValueQuery query_value(const RegistryKey&, std::string_view,
                         std::span<std::uint8_t> buffer) override {
    buffer_sizes.push_back(buffer.size());
    const ValueQuery answer = answers.front();
    answers.pop_front();
    if (answer.code == 0) std::copy(data.begin(), data.end(), buffer.begin());
    return answer;
  }
  OsResult<void> set_value(const RegistryKey&, std::string_view, std::uint32_t,
                           std::span<const std::uint8_t>) override {
    return {};
  }
  OsResult<void> delete_value(const RegistryKey&, std::string_view) override { return {}; }
  OsResult<void> flush_key(const RegistryKey&) override { return {}; }

 protected:
  void close_key(std::uintptr_t) override {}
};

TEST(ReadRegistryValueGrowth, StartsAt2048AndGrowsToAtLeastTheReportedSize) {
  ScriptedRegistry registry;
  registry.data = Bytes(9000, 0xAB);
  // The value grows between the first two queries.
  registry.answers = {{error_more_data, reg_binary, 5000},
                      {error_more_data, reg_binary, 9000},
                      {0, reg_binary, 9000}};
  const RegistryKey key(registry, 1);
  const auto value = read_registry_value(registry, key, "v");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->bytes, registry.data);
  ASSERT_EQ(registry.buffer_sizes.size(), 3u);
  EXPECT_EQ(registry.buffer_sizes[0], 2048u);
  EXPECT_GE(registry.buffer_sizes[1], 5000u);
  EXPECT_GE(registry.buffer_sizes[2], 9000u);
}

TEST(ReadRegistryValueGrowth, GrowsEvenWhenTheReportedSizeIsNoLarger) {
  // A value that shrank and grew again between queries may report a size the buffer
  // already has; asking again with the same buffer could go on for ever.
  ScriptedRegistry registry;
  registry.data = Bytes(10, 1);
  registry.answers = {{error_more_data, reg_binary, 100}, {0, reg_binary, 10}};
  const RegistryKey key(registry, 1);
  ASSERT_TRUE(read_registry_value(registry, key, "v"));
  ASSERT_EQ(registry.buffer_sizes.size(), 2u);
  EXPECT_GT(registry.buffer_sizes[1], registry.buffer_sizes[0]);
}

struct TextCase {
  const char* name;
  std::uint32_t type;
  Bytes bytes;
  OsResult<std::string> expected;
};

class RegistryText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RegistryText, Converts) {
  const TextCase& c = GetParam();
  EXPECT_EQ(registry_text(RegistryValue{c.type, c.bytes}), c.expected);
}

Bytes with_odd_byte(Bytes bytes) {
  bytes.push_back('x');
  return bytes;
}

const std::unexpected<Win32Error> not_text{Win32Error{error_bad_file_type}};

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryText,
    ::testing::Values(
        TextCase{"SzWithoutNul", reg_sz, utf16le(u"C:\\Steam\\steam.exe"), "C:\\Steam\\steam.exe"},
        TextCase{"SzWithNul", reg_sz, utf16le(u"ab\0"sv), "ab"},
        TextCase{"SzWithSeveralNuls", reg_sz, utf16le(u"ab\0\0\0"sv), "ab"},
        TextCase{"SzInnerNulKept", reg_sz, utf16le(u"a\0b\0"sv), std::string("a\0b", 3)},
        TextCase{"SzOnlyNuls", reg_sz, utf16le(u"\0\0"sv), ""}, TextCase{"SzEmpty", reg_sz, {}, ""},
        TextCase{"LastOddByteIgnored", reg_sz, with_odd_byte(utf16le(u"ab")), "ab"},
        TextCase{"SingleByte", reg_sz, {'a'}, ""},
        TextCase{"Chinese", reg_sz, utf16le(u"蒸汽\0"sv), "蒸汽"},
        TextCase{"SurrogatePairKept", reg_sz, utf16le(u"\U0001F600"), "\U0001F600"},
        TextCase{"LoneHighSurrogate", reg_sz, utf16le(u"a\xD800z"), "a\uFFFDz"},
        TextCase{"LoneLowSurrogate", reg_sz, utf16le(u"\xDC00"), "\uFFFD"},
        TextCase{"ExpandNotExpanded", reg_expand_sz, utf16le(u"%SystemRoot%\\x\0"sv),
                 "%SystemRoot%\\x"},
        TextCase{"MultiJoinedByLf", reg_multi_sz, utf16le(u"one\0two\0\0"sv), "one\ntwo"},
        TextCase{"MultiEmptyInnerString", reg_multi_sz, utf16le(u"a\0\0b\0\0"sv), "a\n\nb"},
        TextCase{"Dword", reg_dword, {1, 0, 0, 0}, not_text},
        TextCase{"Binary", reg_binary, utf16le(u"ab"), not_text},
        TextCase{"None", reg_none, {}, not_text}, TextCase{"Qword", reg_qword, Bytes(8), not_text}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mossglow
