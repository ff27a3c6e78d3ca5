#include "platform/ZkCodePage.h"

#include <gtest/gtest.h>

namespace zk::platform {
namespace {

TEST(CodePageTest, HungarianLettersInBothCodePages) {
  const std::string text = "ÁÉÍÓÖŐÚÜŰáéíóöőúüű";
  const auto oem = Utf8ToCodePage(text, TCodePage::cp852);
  ASSERT_TRUE(oem);
  EXPECT_EQ(*oem, "\xB5\x90\xD6\xE0\x99\x8A\xE9\x9A\xEB\xA0\x82\xA1\xA2\x94\x8B\xA3\x81\xFB");
  EXPECT_EQ(CodePageToUtf8(*oem, TCodePage::cp852), text);
  const auto ansi = Utf8ToCodePage(text, TCodePage::cp1250);
  ASSERT_TRUE(ansi);
  EXPECT_EQ(*ansi, "\xC1\xC9\xCD\xD3\xD6\xD5\xDA\xDC\xDB\xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB");
  EXPECT_EQ(CodePageToUtf8(*ansi, TCodePage::cp1250), text);
}

TEST(CodePageTest, AnUnmappableCharacterFailsTheWholeText) {
  // õ and € have no byte in CP852; Windows-1250 has € but no õ.
  EXPECT_FALSE(Utf8ToCodePage("abc õ", TCodePage::cp852));
  EXPECT_FALSE(Utf8ToCodePage("5 €", TCodePage::cp852));
  EXPECT_EQ(Utf8ToCodePage("5 €", TCodePage::cp1250), "5 \x80");
  EXPECT_FALSE(Utf8ToCodePage("õ", TCodePage::cp1250));
  EXPECT_FALSE(Utf8ToCodePage("bad \xC3", TCodePage::cp852));
  EXPECT_EQ(Utf8ToCodePage("", TCodePage::cp852), "");
}

TEST(CodePageTest, EveryCp852ByteDecodesButWindows1250HasGaps) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const auto decoded = CodePageToUtf8(all, TCodePage::cp852);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(Utf8ToCodePage(*decoded, TCodePage::cp852), all);
  EXPECT_FALSE(CodePageToUtf8("\x81", TCodePage::cp1250));
}

}  // namespace
}  // namespace zk::platform
