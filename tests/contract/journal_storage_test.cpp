// The journal save protocol against the real file calls: the first save renames the
// temporary file into place, later saves swap it in with ReplaceFileW, and no
// temporary file is left behind after a successful save.
#include "state/journal_storage.hpp"

#include <string>
#include <vector>

#include "contract_fixture.hpp"
#include "support/fault_plan.hpp"

namespace mossglow::contract {
namespace {

using fake::Op;

// Forwards every file call to the platform's own and records each that succeeds as
// "operation file-name"; `replace_fails` fails ReplaceFileW as it fails while another
// program holds the journal open. It works over Win32 as over the fake, which is why
// the fake's own fault plan does not serve here.
class RecordingFileSystem final : public FileSystem {
 public:
  explicit RecordingFileSystem(FileSystem& inner) : inner_(inner) {}
  std::vector<std::string> calls;
  bool replace_fails = false;

  OsResult<FileMetadata> metadata(std::string_view p) override {
    return record(Op::metadata, p, inner_.metadata(p));
  }
  OsResult<std::uint32_t> get_attributes(std::string_view p) override {
    return record(Op::get_attributes, p, inner_.get_attributes(p));
  }
  OsResult<void> set_attributes(std::string_view p, std::uint32_t a) override {
    return record(Op::set_attributes, p, inner_.set_attributes(p, a));
  }
  OsResult<std::vector<DirectoryEntry>> list_directory(std::string_view p) override {
    return record(Op::list_directory, p, inner_.list_directory(p));
  }
  OsResult<std::string> read_file(std::string_view p) override {
    return record(Op::read_file, p, inner_.read_file(p));
  }
  OsResult<void> write_file(std::string_view p, std::string_view b, bool flush) override {
    return record(Op::write_file, p, inner_.write_file(p, b, flush));
  }
  InPlaceResult write_in_place(std::string_view p, std::string_view e,
                               std::string_view b) override {
    return record(Op::write_in_place, p, inner_.write_in_place(p, e, b));
  }
  OsResult<void> flush_file(std::string_view p) override {
    return record(Op::flush_file, p, inner_.flush_file(p));
  }
  OsResult<void> create_new_file(std::string_view p, std::string_view b, bool flush) override {
    return record(Op::create_new_file, p, inner_.create_new_file(p, b, flush));
  }
  OsResult<void> rename_replace(std::string_view from, std::string_view to) override {
    return record(Op::rename_replace, from, inner_.rename_replace(from, to));
  }
  OsResult<void> rename_new(std::string_view from, std::string_view to) override {
    return record(Op::rename_new, from, inner_.rename_new(from, to));
  }
  OsResult<void> replace_file(std::string_view replaced, std::string_view replacement) override {
    if (replace_fails) return std::unexpected(Win32Error{error_access_denied});
    return record(Op::replace_file, replaced, inner_.replace_file(replaced, replacement));
  }
  OsResult<void> delete_file(std::string_view p) override {
    return record(Op::delete_file, p, inner_.delete_file(p));
  }
  OsResult<void> create_directories(std::string_view p) override {
    return record(Op::create_directories, p, inner_.create_directories(p));
  }

 private:
  template <class Result>
  Result record(Op op, std::string_view path, Result result) {
    if (result)
      calls.push_back(std::string(fake::op_name(op)) + " " + std::string(file_name(path)));
    return result;
  }

  FileSystem& inner_;
};

class JournalStorageContract : public ContractTest {
 protected:
  RecordingFileSystem recorder{files_};
  System recorded{recorder,         system_.shell, system_.env,   system_.messages,
                  system_.registry, system_.view,  system_.waiter};
  std::vector<std::string>& calls = recorder.calls;

  Status save(std::string_view bytes) {
    return save_journal(recorded, dir_, backup_journal, std::string(bytes));
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
  EXPECT_EQ(journal_pending(system_, dir_, backup_journal), true);

  ASSERT_TRUE(delete_journal(system_, dir_, backup_journal));
  EXPECT_EQ(journal_pending(system_, dir_, backup_journal), false);
}

TEST_F(JournalStorageContract, AFailedReplaceKeepsTheOldJournalAndTheTemporaryFile) {
  ASSERT_TRUE(save("[]"));
  // ReplaceFileW fails; the journal must stay as it was and the new content wait in
  // the temporary file.
  recorder.replace_fails = true;
  const Status saved = save("[\n  1\n]");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), windows_error_text(system_.messages, hresult_from_win32(5)));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[]");
  EXPECT_EQ(files_.read_file(at("backup.tmp")), "[\n  1\n]");

  // The next save rewrites the leftover temporary file and succeeds.
  recorder.replace_fails = false;
  ASSERT_TRUE(save("[\n  2\n]"));
  EXPECT_EQ(files_.read_file(at("backup.json")), "[\n  2\n]");
  EXPECT_EQ(error_of(files_.metadata(at("backup.tmp"))), error_file_not_found);
}

TEST_F(JournalStorageContract, AJournalThatCannotBeReadIsAnErrorNotAbsence) {
  ASSERT_TRUE(save("[]"));
  ASSERT_TRUE(files_.create_directories(at("backup.tmp")));  // a folder where a file goes
  const auto bytes = load_journal_bytes(system_, dir_, backup_journal);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, "[]");
  ASSERT_TRUE(files_.delete_file(at("backup.json")));
  const auto lone = load_journal_bytes(system_, dir_, backup_journal);
  ASSERT_FALSE(lone);
  EXPECT_EQ(lone.error(), os_error_text(system_.messages, Win32Error{error_access_denied}));
}

}  // namespace
}  // namespace mossglow::contract
