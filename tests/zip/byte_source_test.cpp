// The buffered byte source keeps the results of one platform read per byte.
#include "tests/zip/zip_test_support.h"
#include "zip/ansi_names.h"
#include "zip/zip_source.h"

namespace zip_tests {
namespace {

TEST(ByteSource, LittleEndianFieldsAndTheEndOfData) {
  TempFolder folder;
  std::string bytes = {'\x01', '\x02', '\x03', '\x04', '\x05', '\x06', '\x07'};
  bytes += std::string(10000, '\xAB');
  testing_support::writeFile(folder / "data.bin", bytes);
  int32_t code = -1;
  ZipSource* source = ZipSourceOpenFile(wide(folder / "data.bin").c_str(), code);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(source->seekable);
  EXPECT_EQ(source->startOffset, 0u);
  uint32_t value = 0;
  EXPECT_EQ(ZipSourceReadUInt16(source, value), DirOk);
  EXPECT_EQ(value, 0x0201u);
  EXPECT_EQ(ZipSourceReadUInt32(source, value), DirOk);
  EXPECT_EQ(value, 0x06050403u);

  // Jumps across the buffer and a read larger than it.
  ASSERT_TRUE(ZipSourceSeek(source, 6));
  std::string big(9000, '\0');
  EXPECT_EQ(ZipSourceRead(source, big.data(), 9000, 1), 1u);
  EXPECT_EQ(big, bytes.substr(6, 9000));
  ASSERT_TRUE(ZipSourceSeek(source, 2));
  EXPECT_EQ(ZipSourceRead(source, big.data(), 2, 3), 3u);
  EXPECT_EQ(big.substr(0, 6), bytes.substr(2, 6));

  // At the end: DirOk and no value; whole items only.
  ASSERT_TRUE(ZipSourceSeek(source, bytes.size() - 3));
  EXPECT_EQ(ZipSourceRead(source, big.data(), 2, 2), 1u);
  value = 77;
  EXPECT_EQ(ZipSourceReadByte(source, value), DirOk);
  EXPECT_EQ(value, 77u);
  ASSERT_TRUE(ZipSourceSeek(source, bytes.size() - 1));
  EXPECT_EQ(ZipSourceReadUInt32(source, value), DirOk);
  EXPECT_EQ(value, 0xABu) << "missing bytes count as 0";

  // After a failed read, the end of data is a failure.
  source->readError = true;
  EXPECT_EQ(ZipSourceReadByte(source, value), DirIoError);
  EXPECT_EQ(ZipSourceReadUInt16(source, value), DirIoError);
  EXPECT_EQ(value, 0u);
  ZipSourceClose(source);

  EXPECT_EQ(ZipSourceOpenFile(wide(folder / "missing").c_str(), code), nullptr);
  EXPECT_EQ(code, ZipOpenFailed);
}

TEST(AnsiNames, OnlyAsciiLettersFold) {
  EXPECT_EQ(CompareAnsiNoCase("readme.TXT", "README.txt"), 0);
  EXPECT_NE(CompareAnsiNoCase("readme", "readme2"), 0);
  EXPECT_NE(CompareAnsiNoCase("a[", "A{"), 0) << "no folding beyond the letters";
  EXPECT_NE(CompareAnsiNoCase("\xc3\xa9", "\xc3\x89"), 0);
  EXPECT_EQ(CompareAnsiNoCase("", ""), 0);
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(CompareAnsiNoCaseBounded("ABCD", unterminated, 4), 0);
  EXPECT_NE(CompareAnsiNoCaseBounded("ABCDE", unterminated, 4), 0);
}

}  // namespace
}  // namespace zip_tests
