// The ANSI code page, and file names between UTF-8 and UTF-16.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillon_text.h"

namespace {

// Every byte of the ANSI code page comes back as it was, and buffers that
// are too short are refused. (String lengths and terminators, and text
// through VIN, are compared with the system's by the dispatch cases in
// tests/windows.)
TEST(CodePage, EveryAnsiByteRoundTripsAndShortBuffersAreRefused) {
  char bytes[255];
  for (int i = 1; i < 256; ++i) bytes[i - 1] = static_cast<char>(i);
  char16_t wide[255];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, 255, wide, 255), 255);
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // unassigned bytes map to C1 controls
  char back[255];
  BOOL usedDefault = TRUE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 255, back, 255, nullptr, &usedDefault), 255);
  EXPECT_FALSE(usedDefault);
  EXPECT_EQ(std::memcmp(bytes, back, 255), 0);

  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, nullptr, 0), 6);  // NUL included
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, wide, 2), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", -1, back, 2, nullptr, nullptr), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "x", 1, nullptr, 0), 0);
}

// File names are bytes: UTF-8 becomes UTF-16 and back, whatever is not
// UTF-8 must come back as it was, and names that differ in such bytes must
// stay different. ASCII runs are converted several bytes at a time, so the
// cases sit around their edges.
TEST(TextHelpers, FileNamesConvertBothWaysByteForByte) {
  EXPECT_EQ(quillon::Utf16ToUtf8(u"/tmp/K\u00F6ln/\U0001F600.S19"), "/tmp/K\xC3\xB6ln/\xF0\x9F\x98\x80.S19");
  EXPECT_EQ(quillon::Utf8ToUtf16("/tmp/K\xC3\xB6ln/\xF0\x9F\x98\x80.S19"), u"/tmp/K\u00F6ln/\U0001F600.S19");
  EXPECT_EQ(quillon::Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // a lone surrogate that carries no byte
  EXPECT_EQ(quillon::ToUtf8(nullptr), "");
  const std::string names[] = {
      "a\xFF.S19", "a\xFE.S19", "x\xC3", "\xC3\xB6\xC3", "\xED\xB2\x80",  // an encoded surrogate
      "\xC0\xAF", "\xF4\x90\x80\x80", "abcdefg\xE2\x82", "abcdefgh\xFF" "abcdefgh\x80",
      "1234567\xC3\xB6" "abcdefgh", "123456\xF0\x9F\x98\x80" "abcdefghij", std::string("\x80\x81\xBF\xF8", 4)};
  std::vector<std::u16string> wide;
  for (const std::string& name : names) {
    wide.push_back(quillon::Utf8ToUtf16(name));
    EXPECT_EQ(quillon::Utf16ToUtf8(wide.back()), name);
  }
  EXPECT_NE(wide[0], wide[1]);
  EXPECT_EQ(wide[0], u"a\xDCFF.S19");
  EXPECT_EQ(quillon::Utf8ToUtf16("1234567\xC3\xB6" "abcdefgh"), u"1234567\u00F6abcdefgh");
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(quillon::Utf16ToUtf8(quillon::Utf8ToUtf16(one)), one) << b;
  }
  std::u16string reused = u"longer text that was here before";
  quillon::Utf8ToUtf16("K\xC3\xB6ln", &reused);
  EXPECT_EQ(reused, u"K\u00F6ln");
}

}  // namespace
