#include "state/placement.hpp"

#include <gtest/gtest.h>

#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

// A read-only copy must reach the disk like any other (a Steam .url is deleted on the
// strength of it), and keep its attributes.
TEST(Placement, AReadOnlyFileIsFlushedAndKeepsItsAttributes) {
  fake::FakeWindows w;
  const std::string copy = original_copy("0.url");
  constexpr std::uint32_t attributes =
      file_attribute_readonly | file_attribute_hidden | file_attribute_archive;
  w.files.add_directory(original_copy(""));
  ASSERT_TRUE(w.files.write_file(copy, "bytes", false));
  ASSERT_TRUE(w.files.set_attributes(copy, attributes));
  ASSERT_EQ(w.files.durable_content(copy), std::nullopt);

  ASSERT_TRUE(flush_durably(w.files, copy));
  EXPECT_EQ(w.files.durable_content(copy), "bytes");
  EXPECT_EQ(w.files.attributes(copy), attributes);
}

// A file is put in place whole, with the attributes asked for, or not at all: a failed
// rename leaves the destination as it was and removes the temporary file.
TEST(Placement, AFileIsPutInPlaceWholeOrNotAtAll) {
  for (const bool rename_fails : {false, true}) {
    SCOPED_TRACE(rename_fails ? "rename fails" : "rename works");
    fake::FakeWindows w;
    const std::string source = original_copy("0.lnk");
    const std::string destination = on_user("App.lnk");
    w.files.add_file(source, "original", file_attribute_archive | file_attribute_readonly);
    w.files.add_file(destination, "applied", file_attribute_archive | file_attribute_hidden);
    if (rename_fails) w.faults.fail_nth(fake::Op::rename_replace, 1, error_sharing_violation);

    const auto placed =
        place_copy(w.system(), source, destination, file_attribute_archive | file_attribute_hidden,
                   Placement::replace);
    EXPECT_EQ(placed.has_value(), !rename_fails);
    EXPECT_EQ(w.files.content(destination), rename_fails ? "applied" : "original");
    EXPECT_EQ(w.files.durable_content(destination), rename_fails ? "applied" : "original");
    EXPECT_EQ(w.files.attributes(destination), file_attribute_archive | file_attribute_hidden);
    EXPECT_FALSE(w.files.exists(placement_temporary(destination)));
  }
}

TEST(Placement, ATemporaryNameTakenByTheUserIsReported) {
  fake::FakeWindows w;
  EXPECT_TRUE(require_free_temporary(w.system(), on_user("A.lnk")));
  w.files.add_file(on_user("A.lnk.mossglow-tmp"), "mine");
  EXPECT_EQ(require_free_temporary(w.system(), on_user("A.lnk")).error(),
            "临时文件名已被占用：" + on_user("A.lnk.mossglow-tmp"));
}

}  // namespace
}  // namespace mossglow
