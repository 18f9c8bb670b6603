// The mascot icon is written to disk and linked as the program's icon resource, so its
// container must be exactly the seven-image PNG layout that Windows and the icon
// resource compiler expect. Redrawing the artwork must not change that layout.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "embedded_icon.hpp"

namespace mossglow {
namespace {

constexpr std::size_t header_size = 6;
constexpr std::size_t entry_size = 16;
constexpr std::size_t image_count = 7;
constexpr std::size_t first_image_offset = header_size + image_count * entry_size;

struct Entry {
  std::uint8_t width_byte;   // 0 stands for 256
  std::uint8_t height_byte;  // the largest image is 255 rows high
  std::uint32_t png_width;
  std::uint32_t png_height;
};

constexpr std::array<Entry, image_count> expected_entries = {{
    {16, 16, 16, 16},
    {24, 24, 24, 24},
    {32, 32, 32, 32},
    {48, 48, 48, 48},
    {64, 64, 64, 64},
    {128, 128, 128, 128},
    {0, 255, 256, 255},
}};

constexpr std::string_view png_signature = "\x89PNG\r\n\x1a\n";
constexpr std::string_view iend_chunk{"\0\0\0\0IEND\xae\x42\x60\x82", 12};

std::string read_icon_file() {
  std::ifstream in(std::string(MOSSGLOW_SOURCE_DIR) + "/resources/brambun.ico", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint8_t byte_at(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]);
}

std::uint32_t little_endian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i > 0; --i) value = value << 8 | byte_at(bytes, at + i - 1);
  return value;
}

std::uint32_t big_endian_32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | byte_at(bytes, at + i);
  return value;
}

// Seven icons whose images fill the file back to back with nothing after, and the
// program embeds exactly these bytes.
TEST(IconFile, SevenImagesFillTheFileAndTheProgramEmbedsIt) {
  const std::string ico = read_icon_file();
  ASSERT_GE(ico.size(), first_image_offset) << "brambun.ico is missing or truncated";
  EXPECT_EQ(little_endian(ico, 0, 2), 0u);  // reserved
  EXPECT_EQ(little_endian(ico, 2, 2), 1u);  // icon, not cursor
  EXPECT_EQ(little_endian(ico, 4, 2), image_count);
  std::size_t expected_offset = first_image_offset;
  for (std::size_t k = 0; k < image_count; ++k) {
    const std::size_t entry = header_size + k * entry_size;
    EXPECT_EQ(little_endian(ico, entry + 12, 4), expected_offset) << "entry " << k;
    expected_offset += little_endian(ico, entry + 8, 4);
  }
  EXPECT_EQ(expected_offset, ico.size());
  // Compared as a flag: a mismatch would otherwise print two blocks of binary.
  EXPECT_TRUE(embedded_icon_bytes() == ico);
}

class IconEntry : public testing::TestWithParam<std::size_t> {
 protected:
  std::string ico = read_icon_file();
};

TEST_P(IconEntry, DescribesA32BitPngOfItsSize) {
  const std::size_t k = GetParam();
  const Entry& want = expected_entries[k];
  ASSERT_GE(ico.size(), first_image_offset);
  const std::size_t entry = header_size + k * entry_size;

  EXPECT_EQ(byte_at(ico, entry + 0), want.width_byte);
  EXPECT_EQ(byte_at(ico, entry + 1), want.height_byte);
  EXPECT_EQ(byte_at(ico, entry + 2), 0u);            // colour count: not a palette image
  EXPECT_EQ(byte_at(ico, entry + 3), 0u);            // reserved
  EXPECT_EQ(little_endian(ico, entry + 4, 2), 0u);   // planes
  EXPECT_EQ(little_endian(ico, entry + 6, 2), 32u);  // bit count
  const std::size_t size = little_endian(ico, entry + 8, 4);
  const std::size_t offset = little_endian(ico, entry + 12, 4);
  ASSERT_GE(offset, first_image_offset);
  ASSERT_LE(offset, ico.size());
  ASSERT_LE(size, ico.size() - offset);

  const std::string_view png = std::string_view(ico).substr(offset, size);
  ASSERT_GE(png.size(), png_signature.size() + 25 + iend_chunk.size());
  EXPECT_EQ(png.substr(0, 8), png_signature);
  EXPECT_EQ(big_endian_32(png, 8), 13u);  // IHDR length
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(big_endian_32(png, 16), want.png_width);
  EXPECT_EQ(big_endian_32(png, 20), want.png_height);
  EXPECT_EQ(byte_at(png, 24), 8u);  // bit depth
  EXPECT_EQ(byte_at(png, 25), 6u);  // colour type: RGBA
  // The stated size must end exactly at the stream's end, not inside the next image.
  EXPECT_EQ(png.substr(png.size() - iend_chunk.size()), iend_chunk);
}

INSTANTIATE_TEST_SUITE_P(SevenImages, IconEntry, testing::Range<std::size_t>(0, image_count),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           const Entry& e = expected_entries[info.param];
                           return std::to_string(e.png_width) + "x" + std::to_string(e.png_height);
                         });

}  // namespace
}  // namespace mossglow
