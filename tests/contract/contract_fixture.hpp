#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "contract_platform.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow::contract {

// One platform and one empty scratch folder per test.
class ContractTest : public ::testing::Test {
 protected:
  std::unique_ptr<ContractPlatform> platform_ = make_contract_platform();
  System system_ = platform_->system();
  FileSystem& files_ = system_.files;
  std::string dir_ = platform_->make_scratch_directory();

  std::string at(std::string_view name) const { return join_path(dir_, name); }

  // A fresh file, then (when asked) its attributes.
  void make_file(std::string_view name, std::string_view content, std::uint32_t attributes = 0) {
    ASSERT_TRUE(files_.write_file(at(name), content, false)) << name;
    if (attributes != 0) {
      ASSERT_TRUE(files_.set_attributes(at(name), attributes)) << name;
    }
  }

  std::uint32_t error_of(const auto& result) const {
    if (result) return 0u;
    if constexpr (requires { result.error().error.code; }) {
      return result.error().error.code;
    } else {
      return result.error().code;
    }
  }

  // Where Wine 8, run as root as the tests are, answers differently from Windows, as
  // measured by this suite. The fake follows Windows; under Wine the suite checks what
  // Wine does instead, so that a change in either shows up here.
  //
  // Read-only maps to the Unix write bits, which do not bind root: writing, copying or
  // renaming over a read-only file succeeds there (deleting one is still refused).
  bool read_only_binds_writes() {
    const std::string probe = at("read-only probe.txt");
    EXPECT_TRUE(files_.write_file(probe, "x", false));
    EXPECT_TRUE(files_.set_attributes(probe, file_attribute_readonly | file_attribute_archive));
    const bool binds = !files_.write_file(probe, "y", false);
    EXPECT_TRUE(files_.set_attributes(probe, file_attribute_archive));
    EXPECT_TRUE(files_.delete_file(probe));
    if (platform_->is_fake()) {
      EXPECT_TRUE(binds) << "the fake must refuse as Windows does";
    }
    return binds;
  }
  // The attribute word a file reads back with after set_attributes(word). Windows
  // stores the word as given, and a word with no bit set as "normal". Wine does not
  // store the archive bit: every file reads back with it, and never as "normal".
  std::uint32_t file_word_as_read(std::uint32_t word) const {
    if (platform_->is_wine()) return (word & ~file_attribute_normal) | file_attribute_archive;
    return word == 0 ? file_attribute_normal : word;
  }
  // Renaming over a read-only file is refused by Windows; Wine's rename does not look
  // at the target's bits at all, whoever runs it.
  bool read_only_binds_renames() const { return !platform_->is_wine(); }
  // CopyFileExW opens an existing destination as CREATE_ALWAYS with the source's
  // attributes, which Windows refuses for a hidden or system file unless the source
  // has the same bits. Wine overwrites it and keeps the destination's bits.
  bool copy_guards_hidden_destination() const { return !platform_->is_wine(); }
  // Listing a file as a folder: "directory name is invalid" on Windows, "invalid name"
  // under Wine.
  std::uint32_t listing_a_file_error() const {
    return platform_->is_wine() ? 123u : error_directory;
  }

  std::vector<std::string> sorted_listing(std::string_view folder) {
    auto entries = files_.list_directory(folder);
    EXPECT_TRUE(entries) << "listing " << folder;
    if (!entries) return {};
    std::vector<std::string> names;
    for (const auto& entry : *entries) names.push_back(entry.name);
    std::ranges::sort(names, {}, [](const std::string& name) { return ascii_lower(name); });
    return names;
  }
};

}  // namespace mossglow::contract
