#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "overlay/journal.hpp"

namespace mossglow {
namespace {

const std::string hash_a(64, 'a');
const Overlay finished{"C:\\Users\\u\\Desktop\\Notes.txt", "C:\\Users\\u\\Desktop\\Notes.txt.lnk",
                       hash_a};
const Overlay unfinished{"C:\\Users\\Public\\Desktop\\Tools",
                         "C:\\Users\\Public\\Desktop\\Tools.lnk", std::nullopt};

// One finished and one unfinished record, line for line as the program writes them.
const std::string written_journal =
    "[\n"
    "  {\n"
    "    \"original\": \"C:\\\\Users\\\\u\\\\Desktop\\\\Notes.txt\",\n"
    "    \"shortcut\": \"C:\\\\Users\\\\u\\\\Desktop\\\\Notes.txt.lnk\",\n"
    "    \"shortcut_hash\": \"" +
    hash_a +
    "\"\n"
    "  },\n"
    "  {\n"
    "    \"original\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\Tools\",\n"
    "    \"shortcut\": \"C:\\\\Users\\\\Public\\\\Desktop\\\\Tools.lnk\",\n"
    "    \"shortcut_hash\": null\n"
    "  }\n"
    "]";

TEST(OverlayJournal, WritesTheJournalLayoutByteForByte) {
  EXPECT_EQ(serialize_overlay_journal({}), "[]");
  EXPECT_EQ(serialize_overlay_journal({finished, unfinished}), written_journal);
  const auto parsed = parse_overlay_journal(written_journal);
  ASSERT_TRUE(parsed) << parsed.error();
  EXPECT_EQ(*parsed, (std::vector<Overlay>{finished, unfinished}));
}

TEST(OverlayJournal, PathThatIsNotUnicodeCannotBeSaved) {
  const std::string lone_surrogate = "C:\\Users\\u\\Desktop\\\xED\xA0\x80";
  for (const Overlay& bad : {Overlay{lone_surrogate, "C:\\x.lnk", std::nullopt},
                             Overlay{"C:\\x", lone_surrogate + ".lnk", std::nullopt}}) {
    EXPECT_EQ(serialize_overlay_journal({finished, bad}).error(),
              "path contains invalid UTF-8 characters");
  }
}

}  // namespace
}  // namespace mossglow
