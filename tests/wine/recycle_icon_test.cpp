// Apply and restore of the Recycle Bin icon against the real registry under Wine, on
// the test prefix's own HKEY_CURRENT_USER. It only runs in a disposable prefix
// (scripts/wine-run marks it), and puts back the values and the journal it found.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/path.hpp"
#include "platform/system_win32.hpp"
#include "platform/text.hpp"
#include "recycle/apply.hpp"
#include "recycle/icon_values.hpp"
#include "recycle/journal.hpp"
#include "recycle/restore.hpp"
#include "state/data_directory.hpp"
#include "support/scratch_win32.hpp"
#include "support/text_bytes.hpp"

namespace mossglow {
namespace {

using testing_support::utf16le;
using testing_support::wide;

using Bytes = std::vector<std::uint8_t>;

// The value as the registry holds it, read with the plain Win32 call rather than
// through the program's own layer.
std::optional<Raw> stored(std::string_view name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(recycle_icon_subkey).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD size = 0;
  std::optional<Raw> raw;
  const std::wstring value = wide(name);
  if (RegQueryValueExW(key, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    raw.emplace(Raw{type, Bytes(size)});
    BYTE spare = 0;
    if (RegQueryValueExW(key, value.c_str(), nullptr, &type, size == 0 ? &spare : raw->bytes.data(),
                         &size) != ERROR_SUCCESS) {
      raw.reset();
    }
  }
  RegCloseKey(key);
  return raw;
}

class RecycleIconOnWine : public ::testing::Test, protected Win32System {
 protected:
  std::string data_dir;
  std::string journal_path;
  std::optional<std::string> saved_journal;
  std::array<std::optional<Raw>, 3> saved_values;
  bool saved = false;

  void SetUp() override {
    if (std::getenv("MOSSGLOW_DISPOSABLE_PREFIX") == nullptr) {
      GTEST_SKIP() << "runs only in a disposable Wine prefix";
    }
    data_dir = *data_directory(env);
    ASSERT_TRUE(files.create_directories(data_dir));
    journal_path = join_path(data_dir, recycle_journal.name);
    if (auto bytes = files.read_file(journal_path)) saved_journal = std::move(*bytes);
    (void)files.delete_file(journal_path);
    for (std::size_t i = 0; i < saved_values.size(); ++i) {
      saved_values[i] = stored(recycle_icon_values[i]);
    }
    saved = true;
  }

  void TearDown() override {
    if (!saved) return;
    auto key = registry.create_key(RegistryRoot::current_user, recycle_icon_subkey, key_all_access);
    ASSERT_TRUE(key);
    for (std::size_t i = 0; i < saved_values.size(); ++i) {
      set(*key, recycle_icon_values[i], saved_values[i]);
    }
    (void)files.delete_file(journal_path);
    (void)files.delete_file(join_path(data_dir, recycle_journal.temporary));
    if (saved_journal) {
      EXPECT_TRUE(files.write_file(journal_path, *saved_journal, true));
    }
  }

  void set(const RegistryKey& key, std::string_view name, const std::optional<Raw>& raw) {
    if (raw) {
      EXPECT_TRUE(registry.set_value(key, name, raw->kind, raw->bytes)) << name;
    } else {
      (void)registry.delete_value(key, name);
    }
  }
};

TEST_F(RecycleIconOnWine, RestoreGivesBackEveryValueWithItsTypeAndBytes) {
  // A default value as Windows ships it, an "empty" string stored without its NUL and
  // no "full" value at all.
  const Raw expand{reg_expand_sz,
                   utf16le(std::u16string_view(u"%SystemRoot%\\System32\\imageres.dll,-54\0", 39))};
  const Raw unterminated{reg_sz, utf16le(u"C:\\icons\\空.ico,0")};
  {
    auto key = registry.create_key(RegistryRoot::current_user, recycle_icon_subkey, key_all_access);
    ASSERT_TRUE(key);
    set(*key, "", expand);
    set(*key, "empty", unterminated);
    set(*key, "full", std::nullopt);
  }
  ASSERT_EQ(stored(""), expand);
  ASSERT_EQ(stored("empty"), unterminated);
  ASSERT_EQ(stored("full"), std::nullopt);

  const auto applied = apply_recycle_icon(sys, data_dir);
  ASSERT_TRUE(applied) << applied.error();
  EXPECT_EQ(*applied, "回收站：已设置Brambun图标。");
  const std::string icon_text = join_path(data_dir, "brambun.ico") + ",0";
  Bytes icon_bytes = utf16le(to_utf16(icon_text));
  icon_bytes.insert(icon_bytes.end(), {0, 0});
  const Raw icon{reg_sz, icon_bytes};
  for (const std::string_view name : recycle_icon_values) EXPECT_EQ(stored(name), icon) << name;

  const auto journal = parse_recycle_journal(files.read_file(journal_path).value_or(""));
  ASSERT_TRUE(journal) << journal.error();
  EXPECT_EQ(*journal, (std::vector<Value>{
                          {"", expand, icon}, {"empty", unterminated, icon}, {"full", {}, icon}}));

  const auto restored = restore_recycle_icon(sys, data_dir);
  ASSERT_TRUE(restored) << restored.error();
  EXPECT_EQ(restored->text, "回收站图标设置：还原 3 项，跳过 0 项。");
  EXPECT_EQ(stored(""), expand);
  EXPECT_EQ(stored("empty"), unterminated);
  EXPECT_EQ(stored("full"), std::nullopt);
  EXPECT_FALSE(files.metadata(journal_path).has_value());
}

TEST_F(RecycleIconOnWine, AValueChangedByTheUserStaysAndIsJournalled) {
  const Raw full{reg_sz, utf16le(std::u16string_view(u"C:\\icons\\full.ico,0\0", 20))};
  {
    auto key = registry.create_key(RegistryRoot::current_user, recycle_icon_subkey, key_all_access);
    ASSERT_TRUE(key);
    set(*key, "", std::nullopt);
    set(*key, "empty", std::nullopt);
    set(*key, "full", full);
  }
  ASSERT_TRUE(apply_recycle_icon(sys, data_dir));

  const Raw users{reg_expand_sz, utf16le(std::u16string_view(u"%USERPROFILE%\\mine.ico\0", 23))};
  {
    auto key =
        registry.open_key(RegistryRoot::current_user, recycle_icon_subkey, key_read | key_write);
    ASSERT_TRUE(key);
    set(*key, "full", users);
  }

  const auto restored = restore_recycle_icon(sys, data_dir);
  ASSERT_TRUE(restored) << restored.error();
  EXPECT_EQ(restored->text, "回收站图标设置：还原 2 项，跳过 1 项。\nfull：设置已被更改");
  EXPECT_EQ(stored(""), std::nullopt);
  EXPECT_EQ(stored("empty"), std::nullopt);
  EXPECT_EQ(stored("full"), users);
  const auto journal = parse_recycle_journal(files.read_file(journal_path).value_or(""));
  ASSERT_TRUE(journal) << journal.error();
  ASSERT_EQ(journal->size(), 1u);
  EXPECT_EQ((*journal)[0].name, "full");
  EXPECT_EQ((*journal)[0].original, full);
}

}  // namespace
}  // namespace mossglow
