// Length-prefixed strings, the ANSI code page and identifiers as text.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "quillon_text.h"

namespace {

std::uint32_t PrefixOf(BSTR b) {
  std::uint32_t n;
  std::memcpy(&n, reinterpret_cast<const char*>(b) - 4, 4);
  return n;
}

TEST(Bstr, LengthPrefixCountsBytesAndTextIsNulTerminated) {
  BSTR b = SysAllocString(u"Quillon");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PrefixOf(b), 14u);
  EXPECT_EQ(SysStringLen(b), 7u);
  EXPECT_EQ(b[7], u'\0');
  EXPECT_EQ(std::u16string(b), u"Quillon");
  SysFreeString(b);
}

TEST(Bstr, EmbeddedNulsAndNullSourceKeepTheGivenLength) {
  const char16_t text[] = {u'a', u'\0', u'b'};
  BSTR b = SysAllocStringLen(text, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[2], u'b');
  SysFreeString(b);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(SysStringLen(zeroed), 4u);
  EXPECT_EQ(zeroed[4], u'\0');
  SysFreeString(zeroed);
}

TEST(Bstr, NullAndEmptyAreDistinctAndSafe) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);  // no-op
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(Bstr, SizesThatWouldOverflowAreRefused) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);
}

TEST(CodePage, EveryAnsiByteRoundTrips) {
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
}

TEST(CodePage, CharactersOutsideTheAnsiPageBecomeQuestionMarks) {
  const char16_t text[] = u"A\u0100\u4E2D\U0001F600z";  // surrogate pair: two units
  char out[16] = {};
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, &usedDefault);
  EXPECT_EQ(n, 7);
  EXPECT_STREQ(out, "A????z");
  EXPECT_TRUE(usedDefault);
}

TEST(CodePage, SizeQueriesShortBuffersAndOtherCodePages) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, nullptr, 0), 6);  // NUL included
  char16_t small[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, small, 2), 0);
  char narrow[2];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "x", 1, nullptr, 0), 0);
}

TEST(TextHelpers, Utf16AndUtf8ConvertBothWays) {
  const std::u16string wide = u"/tmp/K\u00F6ln/\U0001F600.S19";
  const std::string narrow = quillon::Utf16ToUtf8(wide);
  EXPECT_EQ(narrow, "/tmp/K\xC3\xB6ln/\xF0\x9F\x98\x80.S19");
  EXPECT_EQ(quillon::Utf8ToUtf16(narrow), wide);
  EXPECT_EQ(quillon::Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(quillon::ToUtf8(nullptr), "");
}

// ASCII runs are converted several bytes at a time: text around the edges
// of such runs, and malformed bytes right after one.
TEST(TextHelpers, Utf8ToUtf16AroundLongAsciiRuns) {
  EXPECT_EQ(quillon::Utf8ToUtf16("12345678"), u"12345678");
  EXPECT_EQ(quillon::Utf8ToUtf16("1234567890abcdefXYZ"), u"1234567890abcdefXYZ");
  EXPECT_EQ(quillon::Utf8ToUtf16("1234567\xC3\xB6" "abcdefgh"), u"1234567\u00F6abcdefgh");
  EXPECT_EQ(quillon::Utf8ToUtf16("12345678\xC3\xB6" "abcdefgh"), u"12345678\u00F6abcdefgh");
  EXPECT_EQ(quillon::Utf8ToUtf16("123456\xF0\x9F\x98\x80" "abcdefghij"), u"123456\U0001F600abcdefghij");
  EXPECT_EQ(quillon::Utf8ToUtf16("abcdefgh\xFF" "abcdefgh\x80"), u"abcdefgh\uFFFDabcdefgh\uFFFD");
  EXPECT_EQ(quillon::Utf8ToUtf16("abcdefg\xE2\x82"), u"abcdefg\uFFFD\uFFFD");  // cut short at the end
  std::u16string reused = u"longer text that was here before";
  quillon::Utf8ToUtf16("K\xC3\xB6ln", &reused);
  EXPECT_EQ(reused, u"K\u00F6ln");
}

TEST(GuidText, FormatsTheCanonicalForm) {
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(IID_IErrorInfo, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, 38), 0);
}

}  // namespace
