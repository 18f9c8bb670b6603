// The journal save protocol against the real file calls: the first save renames the
// temporary file into place, later saves swap it in with ReplaceFileW, and no
// temporary file is left behind after a successful save.
#include "state/journal_storage.hpp"

#include <string>
#include <vector>

#include "contract_fixture.hpp"
#include "support/intercepting_file_system.hpp"

namespace mossglow::contract {
namespace {

class JournalStorageContract : public ContractTest {
 protected:
  fake::InterceptingFileSystem recorder{files_};
  System recorded{recorder, system_.shell, system_.env, system_.messages, system_.registry};
  std::vector<std::string> calls;

  void SetUp() override {
    recorder.after = [this](std::string_view operation, std::string_view path) {
      calls.push_back(std::string(operation) + " " + std::string(file_name(path)));
    };
  }

  Status save(std::string_view bytes) {
    return save_journal(recorded, dir_, "backup.json", "backup.tmp", std::string(bytes));
  }
};

TEST_F(JournalStorageContract, FirstSaveRenamesLaterSavesReplace) {
  ASSERT_TRUE(save("[]"));
  EXPECT_EQ(calls,
            (std::vector<std::string>{"write_file backup.tmp", "rename_replace backup.tmp"}));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[]");
  EXPECT_EQ(error_of(files_.metadata(at("backup.tmp"))), error_file_not_found);

  calls.clear();
  ASSERT_TRUE(save("[\n  {}\n]"));
  EXPECT_EQ(calls, (std::vector<std::string>{"get_attributes backup.json", "write_file backup.tmp",
                                             "replace_file backup.json"}));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[\n  {}\n]");
  EXPECT_EQ(error_of(files_.metadata(at("backup.tmp"))), error_file_not_found);
  EXPECT_EQ(journal_pending(system_, dir_, "backup.json", "backup.tmp"), true);

  ASSERT_TRUE(delete_journal(system_, dir_, "backup.json", "backup.tmp"));
  EXPECT_EQ(journal_pending(system_, dir_, "backup.json", "backup.tmp"), false);
}

TEST_F(JournalStorageContract, AFailedReplaceKeepsTheOldJournalAndTheTemporaryFile) {
  ASSERT_TRUE(save("[]"));
  // ReplaceFileW fails (as it does when another program holds the journal open); the
  // journal must stay as it was and the new content wait in the temporary file.
  recorder.before = [](std::string_view operation, std::string_view) -> std::optional<Win32Error> {
    if (operation == "replace_file") return Win32Error{error_access_denied};
    return std::nullopt;
  };
  const Status saved = save("[\n  1\n]");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), windows_error_text(system_.messages, hresult_from_win32(5)));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[]");
  EXPECT_EQ(files_.read_file(at("backup.tmp")), "[\n  1\n]");

  // The next save rewrites the leftover temporary file and succeeds.
  recorder.before = nullptr;
  ASSERT_TRUE(save("[\n  2\n]"));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[\n  2\n]");
  EXPECT_EQ(error_of(files_.metadata(at("backup.tmp"))), error_file_not_found);
}

TEST_F(JournalStorageContract, AJournalThatCannotBeReadIsAnErrorNotAbsence) {
  ASSERT_TRUE(save("[]"));
  ASSERT_TRUE(files_.create_directories(at("backup.tmp")));  // a folder where a file goes
  const auto bytes = load_journal_bytes(system_, dir_, "backup.json", "backup.tmp");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, "[]");
  ASSERT_TRUE(files_.delete_file(at("backup.json")));
  const auto lone = load_journal_bytes(system_, dir_, "backup.json", "backup.tmp");
  ASSERT_FALSE(lone);
  EXPECT_EQ(lone.error(), os_error_text(system_.messages, Win32Error{error_access_denied}));
}

}  // namespace
}  // namespace mossglow::contract
