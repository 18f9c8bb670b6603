#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "recycle/apply.hpp"
#include "recycle/icon_values.hpp"
#include "recycle/journal.hpp"
#include "recycle/restore.hpp"
#include "shortcut_fixture.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;
using fake::StoredValue;

constexpr RegistryRoot hkcu = RegistryRoot::current_user;
constexpr std::string_view applied = "回收站：已设置Brambun图标。";
constexpr std::string_view nothing_pending = "回收站没有待还原的设置。";

std::string summary(int restored, int kept) {
  return "回收站图标设置：还原 " + std::to_string(restored) + " 项，跳过 " + std::to_string(kept) +
         " 项。";
}

const Raw icon{reg_sz, fake::utf16_string_bytes(std::string(icon_path) + ",0")};
const Raw expand_default{reg_expand_sz,
                         fake::utf16_string_bytes("%SystemRoot%\\System32\\imageres.dll,-54")};
const Raw empty_icon{reg_sz, fake::utf16_string_bytes("C:\\icons\\empty.ico,0")};
const Raw full_icon{reg_sz, fake::utf16_string_bytes("C:\\icons\\full.ico,0")};
const Raw users_own{reg_sz, fake::utf16_string_bytes("D:\\mine.ico,0")};

StoredValue stored(const Raw& raw) { return {raw.kind, raw.bytes}; }

class RecycleIcon : public ::testing::Test {
 protected:
  fake::FakeWindows w;
  const System sys = w.system();

  void SetUp() override { w.files.add_directory(data_dir); }
  void TearDown() override { EXPECT_EQ(w.registry.open_keys(), 0u) << "a key was left open"; }

  Result<std::string> apply() { return apply_recycle_icon(sys, data_dir); }
  // The summary line; the lines under it name the kept values and are checked apart.
  Result<std::string> restore() {
    auto text = text_of(restore_recycle_icon(sys, data_dir));
    if (text) text->erase(std::min(text->find('\n'), text->size()));
    return text;
  }

  void put(std::string_view name, const Raw& raw) {
    w.registry.put_value(hkcu, recycle_icon_subkey, name, stored(raw));
  }
  std::optional<StoredValue> live(std::string_view name) const {
    return w.registry.value(hkcu, recycle_icon_subkey, name);
  }
  std::optional<std::string> journal_text() const {
    return w.files.content(in_data("recycle.json"));
  }
  std::vector<Value> journal() const {
    const auto text = journal_text();
    if (!text) return {};
    auto records = parse_recycle_journal(*text);
    EXPECT_TRUE(records) << records.error();
    return records.value_or(std::vector<Value>{});
  }
  void write_journal(const std::vector<Value>& records) {
    w.files.add_file(in_data("recycle.json"), *serialize_recycle_journal(records));
  }
  int registry_writes() { return w.faults.calls(Op::set_value) + w.faults.calls(Op::delete_value); }
};

// A fresh user has no key; otherwise each value comes back with its type and exact
// bytes, an empty one included, and a value that was absent is absent again.
TEST_F(RecycleIcon, ApplyJournalsEachValueAndRestorePutsItBackExactly) {
  using Before = std::vector<std::optional<Raw>>;  // "", "empty", "full"
  for (const Before& before : {Before{std::nullopt, std::nullopt, std::nullopt},
                               Before{expand_default, empty_icon, Raw{reg_binary, {}}}}) {
    SCOPED_TRACE(before[0] ? "values set" : "fresh user");
    w.registry.remove_key(hkcu, recycle_icon_subkey);
    std::vector<Value> records;
    for (std::size_t i = 0; i < before.size(); ++i) {
      const std::string name(recycle_icon_values[i]);
      if (before[i]) put(name, *before[i]);
      records.push_back({name, before[i], icon});
    }

    EXPECT_EQ(apply(), applied);
    EXPECT_EQ(journal(), records);
    for (const std::string_view name : recycle_icon_values) {
      EXPECT_EQ(live(name), stored(icon)) << name;
    }

    EXPECT_EQ(restore(), summary(3, 0));
    EXPECT_TRUE(w.registry.key_exists(hkcu, recycle_icon_subkey));
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(live(recycle_icon_values[i]),
                before[i] ? std::optional(stored(*before[i])) : std::nullopt);
    }
    EXPECT_FALSE(journal_text());
    EXPECT_FALSE(w.files.exists(in_data("recycle.tmp")));
  }
}

TEST_F(RecycleIcon, ValueTheUserChangedIsKeptUntilItIsBack) {
  put("", expand_default);
  put("empty", empty_icon);
  put("full", full_icon);
  ASSERT_EQ(apply(), applied);
  put("full", users_own);

  EXPECT_EQ(restore(), summary(2, 1));
  EXPECT_EQ(live(""), stored(expand_default));
  EXPECT_EQ(live("empty"), stored(empty_icon));
  EXPECT_EQ(live("full"), stored(users_own));
  EXPECT_EQ(journal(), (std::vector<Value>{{"full", full_icon, icon}}));

  // A later restore tries again by the same rules.
  EXPECT_EQ(restore(), summary(0, 1));
  put("full", icon);
  EXPECT_EQ(restore(), summary(1, 0));
  EXPECT_EQ(live("full"), stored(full_icon));
  EXPECT_FALSE(journal_text());
}

TEST_F(RecycleIcon, ValuesDeletedByHand) {
  put("empty", empty_icon);
  ASSERT_EQ(apply(), applied);
  w.registry.remove_key(hkcu, recycle_icon_subkey);
  w.registry.add_key(hkcu, recycle_icon_subkey);

  // "empty" existed before, so its loss is not the apply's to excuse; the other two
  // were absent before and are absent now.
  EXPECT_EQ(restore(), summary(2, 1));
  EXPECT_EQ(journal(), (std::vector<Value>{{"empty", empty_icon, icon}}));
  EXPECT_EQ(live("empty"), std::nullopt);
}

// A journal is data, not a command: a record naming any other value of the key is never
// written, and every kept value is listed with its reason under the summary.
TEST_F(RecycleIcon, KeptValuesAreListedAndOnlyTheIconValuesAreEverWritten) {
  put("full", users_own);
  put("Shell", users_own);
  w.files.add_file(in_data("recycle.json"),
                   *serialize_recycle_journal({{"", std::nullopt, icon},
                                               {"full", full_icon, icon},
                                               {"Shell", std::nullopt, users_own}}));
  const auto section = restore_recycle_icon(sys, data_dir);
  ASSERT_TRUE(section) << section.error();
  EXPECT_TRUE(section->left_undone);
  EXPECT_EQ(section->text,
            summary(1, 2) + "\nfull：设置已被更改\nShell：不是回收站图标的设置，已保留记录");
  EXPECT_EQ(live("Shell"), stored(users_own));
  EXPECT_EQ(journal().size(), 2u);
}

TEST_F(RecycleIcon, RestoreWithoutJournalLeavesTheRegistryAlone) {
  EXPECT_EQ(restore(), nothing_pending);
  EXPECT_EQ(w.faults.calls(Op::open_key), 0);
  EXPECT_FALSE(w.registry.key_exists(hkcu, recycle_icon_subkey));
}

TEST_F(RecycleIcon, EmptyJournalIsRemoved) {
  w.registry.add_key(hkcu, recycle_icon_subkey);
  write_journal({});
  EXPECT_EQ(restore(), summary(0, 0));
  EXPECT_FALSE(journal_text());
}

// A refused write ends the apply with its error where it stands; undoing what was
// written is the restore's, as the recovery sweep proves.
TEST_F(RecycleIcon, AFailedWriteEndsTheApplyWithItsError) {
  put("", expand_default);
  put("full", full_icon);
  w.faults.fail_on_path(Op::set_value, "empty", error_access_denied);

  EXPECT_EQ(apply(), std::unexpected(sys.os_text(Win32Error{error_access_denied})));
  EXPECT_EQ(live(""), stored(icon));
  EXPECT_EQ(live("empty"), std::nullopt);
  EXPECT_EQ(live("full"), stored(full_icon));
}

TEST_F(RecycleIcon, ApplyRefusesWhileAJournalIsPending) {
  put("", expand_default);
  write_journal({{"", std::nullopt, icon}});
  EXPECT_EQ(apply(), std::unexpected(std::string("回收站有待还原的设置。")));
  EXPECT_EQ(w.faults.calls(Op::create_key), 0);
  EXPECT_EQ(live(""), stored(expand_default));
}

TEST_F(RecycleIcon, ApplyFailuresBeforeTheJournalWriteNothing) {
  w.faults.fail_nth(Op::create_key, 1, error_access_denied);
  EXPECT_EQ(apply(), std::unexpected(sys.os_text(Win32Error{error_access_denied})));
  EXPECT_FALSE(w.registry.key_exists(hkcu, recycle_icon_subkey));

  // A value of a type the program does not know cannot be captured, so nothing is set.
  put("", expand_default);
  w.registry.put_value(hkcu, recycle_icon_subkey, "empty", StoredValue{12, {1, 2}});
  EXPECT_EQ(apply(), std::unexpected(sys.os_text(Win32Error{error_bad_file_type})));
  EXPECT_FALSE(journal_text());
  EXPECT_EQ(live(""), stored(expand_default));
  EXPECT_EQ(live("full"), std::nullopt);

  put("empty", empty_icon);
  w.faults.clear();
  w.faults.fail_on_path(Op::query_value, "full", error_access_denied);
  EXPECT_EQ(apply(), std::unexpected(sys.os_text(Win32Error{error_access_denied})));
  EXPECT_FALSE(journal_text());

  w.faults.clear();
  w.faults.fail_on_path(Op::write_file, in_data("recycle.tmp"), 112);
  EXPECT_EQ(apply(), std::unexpected(sys.os_text(Win32Error{112})));
  EXPECT_FALSE(journal_text());
  EXPECT_EQ(registry_writes(), 0);
  EXPECT_EQ(live(""), stored(expand_default));
  EXPECT_EQ(live("empty"), stored(empty_icon));
}

TEST_F(RecycleIcon, RestoreFailuresThatEndTheStep) {
  // Unreadable journal.
  w.files.add_file(in_data("recycle.json"), "[{\"name\":\"\"}]");
  EXPECT_EQ(restore(),
            std::unexpected(std::string("missing field `replacement` at line 1 column 12")));
  w.faults.fail_on_path(Op::read_file, in_data("recycle.json"), error_sharing_violation);
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{error_sharing_violation})));
  w.faults.clear();

  // The key is gone: the journal stays as it was.
  const std::vector<Value> records{{"", expand_default, icon}, {"full", std::nullopt, icon}};
  write_journal(records);
  const auto before = journal_text();
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{error_file_not_found})));
  EXPECT_EQ(journal_text(), before);

  // Saving what is kept fails: the value already put back stays put back.
  put("", icon);
  put("full", users_own);
  w.faults.fail_on_path(Op::write_file, in_data("recycle.tmp"), 112);
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{112})));
  EXPECT_EQ(live(""), stored(expand_default));
  EXPECT_EQ(journal_text(), before);

  // The values written back cannot be flushed: the journal that could write them again
  // is kept, so a power cut cannot leave the icon set with nothing to undo it.
  put("", icon);
  put("full", icon);
  w.faults.clear();
  w.faults.fail_nth(Op::flush_key, 1, 1021);
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{1021})));
  EXPECT_EQ(journal_text(), before);

  // Deleting the finished journal fails.
  put("full", icon);
  w.faults.fail_on_path(Op::delete_file, in_data("recycle.json"), error_access_denied);
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{error_access_denied})));
  EXPECT_EQ(live("full"), std::nullopt);
}

TEST_F(RecycleIcon, RestoreOpensTheKeyForReadingAndWriting) {
  write_journal({{"", std::nullopt, icon}});
  put("", icon);
  w.faults.fail_nth(Op::open_key, 1, error_access_denied);
  EXPECT_EQ(restore(), std::unexpected(sys.os_text(Win32Error{error_access_denied})));
  EXPECT_EQ(live(""), stored(icon));
  EXPECT_EQ(restore(), summary(1, 0));
}

// One record of the journal against one live state, by every rule of the restore. The
// plain write-back and deletion are the round trip's above; a value already back after
// a stopped restore is the recovery sweep's.
struct Row {
  const char* name;
  std::optional<Raw> original;
  std::optional<StoredValue> live;
  // A failure of the registry call named, with its code.
  std::optional<Op> failing;
  std::uint32_t code = 0;
  bool restored;
  std::optional<StoredValue> after;
  int writes;
};

class RestoreRule : public RecycleIcon, public ::testing::WithParamInterface<Row> {};

TEST_P(RestoreRule, DecidesAndActs) {
  const Row& row = GetParam();
  w.registry.add_key(hkcu, recycle_icon_subkey);
  if (row.live) w.registry.put_value(hkcu, recycle_icon_subkey, "full", *row.live);
  if (row.failing) w.faults.fail_nth(*row.failing, 1, row.code);
  const Value record{"full", row.original, icon};
  write_journal({record});

  EXPECT_EQ(restore(), row.restored ? summary(1, 0) : summary(0, 1));
  EXPECT_EQ(live("full"), row.after);
  EXPECT_EQ(registry_writes(), row.writes);
  if (row.restored) {
    EXPECT_FALSE(journal_text());
  } else {
    EXPECT_EQ(journal(), std::vector<Value>{record});
  }
}

const StoredValue icon_value = stored(icon);
const StoredValue odd_type{12, {7}};

INSTANTIATE_TEST_SUITE_P(
    Table, RestoreRule,
    ::testing::Values(
        Row{"LiveUnreadable", std::nullopt, icon_value, Op::query_value, error_access_denied, false,
            icon_value, 0},
        Row{"LiveOfUnknownType", full_icon, odd_type, std::nullopt, 0, false, odd_type, 0},
        Row{"AbsentButExistedBefore", full_icon, std::nullopt, std::nullopt, 0, false, std::nullopt,
            0},
        Row{"OursDeleteFindsNothing", std::nullopt, icon_value, Op::delete_value,
            error_file_not_found, true, icon_value, 1},
        Row{"OursDeleteNotFoundFamily", std::nullopt, icon_value, Op::delete_value, 67, true,
            icon_value, 1},
        Row{"OursDeleteRefused", std::nullopt, icon_value, Op::delete_value, error_access_denied,
            false, icon_value, 1},
        Row{"OursOriginalOfUnknownType", Raw{12, {1, 2}}, icon_value, std::nullopt, 0, false,
            icon_value, 0},
        Row{"OursWriteRefused", full_icon, icon_value, Op::set_value, error_access_denied, false,
            icon_value, 1},
        Row{"NeitherOriginalNorOurs", full_icon, stored(users_own), std::nullopt, 0, false,
            stored(users_own), 0},
        Row{"NeitherAndWasAbsent", std::nullopt, stored(users_own), std::nullopt, 0, false,
            stored(users_own), 0},
        // Type counts: our bytes under another type are not ours.
        Row{"OurBytesOtherType", std::nullopt, StoredValue{reg_expand_sz, icon.bytes}, std::nullopt,
            0, false, StoredValue{reg_expand_sz, icon.bytes}, 0},
        Row{"OurTextWithoutNul", std::nullopt,
            StoredValue{reg_sz, {icon.bytes.begin(), icon.bytes.end() - 2}}, std::nullopt, 0, false,
            StoredValue{reg_sz, {icon.bytes.begin(), icon.bytes.end() - 2}}, 0},
        // The original was the icon itself: equal to both, restored without a write.
        Row{"OriginalWasOurs", icon, icon_value, std::nullopt, 0, true, icon_value, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mossglow
