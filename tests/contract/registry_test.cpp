// The registry layer against Windows: keys opened and created, values stored and read
// back with their exact type and bytes, the ERROR_MORE_DATA answer, and the codes of
// missing keys and values. All of it under a scratch key of HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "contract_platform.hpp"
#include "platform/registry_value.hpp"
#include "support/text_bytes.hpp"

namespace mossglow {
namespace {

using testing_support::utf16le;

using Bytes = std::vector<std::uint8_t>;

class RegistryContract : public testing::Test {
 protected:
  std::unique_ptr<contract::ContractPlatform> platform = contract::make_contract_platform();
  System sys = platform->system();
  Registry& registry = sys.registry;
  std::string scratch = platform->make_scratch_key();

  std::string sub(std::string_view name) const { return scratch + "\\" + std::string(name); }

  RegistryKey writable() {
    auto key = registry.create_key(RegistryRoot::current_user, scratch, key_all_access);
    EXPECT_TRUE(key) << "create_key: " << key.error().code;
    return std::move(*key);
  }

  // The value read back through a buffer large enough for it.
  std::optional<RegistryValue> read_back(const RegistryKey& key, std::string_view name) {
    Bytes buffer(4096);
    const ValueQuery answer = registry.query_value(key, name, buffer);
    if (answer.code != 0) {
      ADD_FAILURE() << "query " << name << ": " << answer.code;
      return std::nullopt;
    }
    buffer.resize(answer.size);
    return RegistryValue{answer.type, buffer};
  }
};

TEST_F(RegistryContract, CreateMakesMissingParentsAndOpensExistingKeys) {
  const std::string deep = sub("a\\b\\c");
  ASSERT_TRUE(registry.create_key(RegistryRoot::current_user, deep, key_all_access));
  EXPECT_TRUE(registry.open_key(RegistryRoot::current_user, sub("a\\b"), key_read));
  EXPECT_TRUE(registry.open_key(RegistryRoot::current_user, sub("A\\B\\C"), key_read))
      << "key names ignore case";
  EXPECT_TRUE(registry.create_key(RegistryRoot::current_user, deep, key_all_access))
      << "creating an existing key opens it";
}

TEST_F(RegistryContract, ValuesKeepTheirTypeAndExactBytes) {
  const RegistryKey key = writable();
  const struct {
    std::string_view name;
    RegistryValue value;
  } values[] = {
      {"", {reg_sz, utf16le(u"default")}},  // no terminating NUL: none is added
      {"sz", {reg_sz, utf16le(std::u16string_view(u"C:\\x.ico,0\0", 11))}},
      {"expand", {reg_expand_sz, utf16le(std::u16string_view(u"%SystemRoot%\\a.dll,-54\0", 23))}},
      {"multi", {reg_multi_sz, utf16le(std::u16string_view(u"one\0two\0\0", 9))}},
      {"binary", {reg_binary, {}}},
      {"dword", {reg_dword, {0x78, 0x56, 0x34, 0x12}}},
      {"qword", {reg_qword, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {"none", {reg_none, {0xFF}}},
      {"回收站", {reg_sz, utf16le(std::u16string_view(u"图标\0", 3))}},
      // Windows stores any type code it is given.
      {"odd type", {0x12345, {9, 8, 7}}},
  };
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(registry.set_value(key, name, value.type, value.bytes)) << name;
  }
  for (const auto& [name, value] : values) {
    EXPECT_EQ(read_back(key, name), value) << name;
  }
  // Through another handle, and with the letter case of the name changed.
  const auto reopened = registry.open_key(RegistryRoot::current_user, scratch, key_read);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(read_back(*reopened, "EXPAND"), values[2].value);
}

TEST_F(RegistryContract, SmallBufferAnswersMoreDataWithTheSizeNeeded) {
  const RegistryKey key = writable();
  const Bytes data = utf16le(std::u16string_view(u"C:\\icons\\brambun.ico,0\0", 23));
  ASSERT_TRUE(registry.set_value(key, "full", reg_sz, data));

  for (const std::size_t size : {std::size_t{0}, std::size_t{4}, data.size() - 1}) {
    Bytes buffer(size);
    const ValueQuery answer = registry.query_value(key, "full", buffer);
    EXPECT_EQ(answer.code, error_more_data) << size;
    EXPECT_EQ(answer.size, data.size()) << size;
    EXPECT_EQ(answer.type, reg_sz) << size;
  }
  Bytes exact(data.size());
  const ValueQuery answer = registry.query_value(key, "full", exact);
  EXPECT_EQ(answer.code, 0u);
  EXPECT_EQ(exact, data);
}

TEST_F(RegistryContract, ReadingAValueLargerThanTheFirstBuffer) {
  const RegistryKey key = writable();
  Bytes large(10000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i % 251);
  ASSERT_TRUE(registry.set_value(key, "large", reg_binary, large));
  EXPECT_EQ(read_registry_value(registry, key, "large"),
            (OsResult<RegistryValue>(RegistryValue{reg_binary, large})));
  ASSERT_TRUE(registry.set_value(key, "odd", 12, Bytes{1}));
  EXPECT_EQ(read_registry_value(registry, key, "odd"),
            (OsResult<RegistryValue>(std::unexpected(Win32Error{error_bad_file_type}))));
}

TEST_F(RegistryContract, MissingKeysAndValuesAreNotFound) {
  for (const std::string& path : {sub("missing"), sub("missing\\deeper")}) {
    const auto key = registry.open_key(RegistryRoot::current_user, path, key_read);
    ASSERT_FALSE(key) << path;
    EXPECT_EQ(key.error().code, error_file_not_found) << path;
  }
  const auto command = registry.open_key(RegistryRoot::classes_root,
                                         "MossglowNoSuchScheme\\shell\\open\\command", key_read);
  ASSERT_FALSE(command);
  EXPECT_EQ(command.error().code, error_file_not_found);

  const RegistryKey key = writable();
  Bytes buffer(64);
  EXPECT_EQ(registry.query_value(key, "missing", buffer).code, error_file_not_found);
  EXPECT_EQ(registry.query_value(key, "", buffer).code, error_file_not_found)
      << "a new key has no default value";
  const auto deleted = registry.delete_value(key, "missing");
  ASSERT_FALSE(deleted);
  EXPECT_EQ(deleted.error().code, error_file_not_found);

  ASSERT_TRUE(registry.set_value(key, "Empty", reg_sz, Bytes{0, 0}));
  EXPECT_TRUE(registry.delete_value(key, "EMPTY"));
  EXPECT_EQ(registry.query_value(key, "empty", buffer).code, error_file_not_found);
}

// A key is flushed before the journal record that relies on it is saved, through any
// handle the program holds: created with all access, opened to read and write, or to read.
TEST_F(RegistryContract, WritesNeedAHandleOpenedForWritingAndEveryHandleFlushes) {
  const RegistryKey created = writable();
  ASSERT_TRUE(registry.set_value(created, "v", reg_dword, Bytes{1, 0, 0, 0}));
  const auto flushed = registry.flush_key(created);
  EXPECT_TRUE(flushed) << flushed.error().code;

  const auto read_only = registry.open_key(RegistryRoot::current_user, scratch, key_read);
  ASSERT_TRUE(read_only);
  const auto refused = registry.set_value(*read_only, "v", reg_sz, Bytes{0, 0});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, error_access_denied);
  const auto not_deleted = registry.delete_value(*read_only, "v");
  ASSERT_FALSE(not_deleted);
  EXPECT_EQ(not_deleted.error().code, error_access_denied);
  const auto read_only_flush = registry.flush_key(*read_only);
  EXPECT_TRUE(read_only_flush) << read_only_flush.error().code;

  const auto read_write =
      registry.open_key(RegistryRoot::current_user, scratch, key_read | key_write);
  ASSERT_TRUE(read_write);
  EXPECT_TRUE(registry.set_value(*read_write, "v", reg_sz, Bytes{0, 0}));
  EXPECT_TRUE(registry.delete_value(*read_write, "v"));
  const auto flushed_again = registry.flush_key(*read_write);
  EXPECT_TRUE(flushed_again) << flushed_again.error().code;
}

}  // namespace
}  // namespace mossglow
