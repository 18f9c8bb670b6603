#include "state/content_hash.hpp"

#include <gtest/gtest.h>

#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

TEST(ContentHash, HashesTheWholeFile) {
  fake::FakeWindows w;
  const std::string bytes(5000, 'x');
  w.files.add_file("C:\\a\\one.lnk", bytes);
  w.files.add_file("C:\\b\\empty.url", "");
  EXPECT_EQ(content_hash(w.system(), "C:\\a\\one.lnk"), sha256_hex(bytes));
  EXPECT_EQ(content_hash(w.system(), "C:\\b\\empty.url"),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ContentHash, ReadFailureGivesTheOsTextNeverAHash) {
  fake::FakeWindows w;
  EXPECT_EQ(content_hash(w.system(), "C:\\a\\missing.lnk").error(),
            "The system cannot find the path specified. (os error 3)");
  w.files.add_directory("C:\\a");
  EXPECT_EQ(content_hash(w.system(), "C:\\a\\missing.lnk").error(),
            "The system cannot find the file specified. (os error 2)");
  w.files.add_file("C:\\a\\busy.lnk", "x");
  w.files.lock("C:\\a\\busy.lnk");
  EXPECT_EQ(content_hash(w.system(), "C:\\a\\busy.lnk").error(),
            "The process cannot access the file because it is being used by another process. "
            "(os error 32)");
}

}  // namespace
}  // namespace mossglow
