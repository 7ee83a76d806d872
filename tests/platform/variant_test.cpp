// VARIANT conversions as a script client sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "quillon_text.h"

namespace {

struct Var {
  Var() { VariantInit(&v); }
  explicit Var(const char16_t* text) : Var() {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
  }
  static Var Double(double d) {
    Var x;
    x.v.vt = VT_R8;
    x.v.dblVal = d;
    return x;
  }
  static Var Short(SHORT i) {
    Var x;
    x.v.vt = VT_I2;
    x.v.iVal = i;
    return x;
  }
  static Var Long(LONG l) {
    Var x;
    x.v.vt = VT_I4;
    x.v.lVal = l;
    return x;
  }
  Var(const Var&) = delete;
  Var(Var&& o) noexcept : v(o.v) { VariantInit(&o.v); }
  ~Var() { VariantClear(&v); }
  VARIANT v;
};

HRESULT To(const Var& from, VARTYPE vt, Var* out) { return VariantChangeType(&out->v, &from.v, 0, vt); }

TEST(VariantChangeType, TextToLong) {
  Var out;
  ASSERT_EQ(To(Var(u"5"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.vt, VT_I4);
  EXPECT_EQ(out.v.lVal, 5);
  ASSERT_EQ(To(Var(u"  -12\t"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, -12);
  ASSERT_EQ(To(Var(u"&H10"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 16);
  ASSERT_EQ(To(Var(u"&o17"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 15);
  ASSERT_EQ(To(Var(u"2147483647"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 2147483647);
  ASSERT_EQ(To(Var(u"-2147483648"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, INT32_MIN);
  ASSERT_EQ(To(Var(u"1.5e1"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 15);
}

TEST(VariantChangeType, TextThatIsNotANumber) {
  Var out;
  for (const char16_t* bad : {u"abc", u"", u"   ", u"5x", u"--5", u"0x10", u"&H", u"&HG", u"1e", u"inf", u"."}) {
    EXPECT_EQ(To(Var(bad), VT_I4, &out), DISP_E_TYPEMISMATCH) << quillon::ToUtf8(bad);
  }
  EXPECT_EQ(out.v.vt, VT_EMPTY);  // untouched on failure
}

TEST(VariantChangeType, RangesOfEachTarget) {
  Var out;
  EXPECT_EQ(To(Var(u"2147483648"), VT_I4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var(u"-2147483649"), VT_I4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var(u"32768"), VT_I2, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"-32768"), VT_I2, &out), S_OK);
  EXPECT_EQ(out.v.iVal, -32768);
  EXPECT_EQ(To(Var(u"-1"), VT_UI4, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"4294967295"), VT_UI4, &out), S_OK);
  EXPECT_EQ(out.v.ulVal, 4294967295u);
  EXPECT_EQ(To(Var(u"4294967296"), VT_UI4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var::Short(-1), VT_UI4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var::Long(70000), VT_I2, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var::Double(2147483647.5), VT_I4, &out), DISP_E_OVERFLOW);  // rounds to 2^31
  EXPECT_EQ(To(Var(u"1e400"), VT_I4, &out), DISP_E_OVERFLOW);
  // Hexadecimal gives the bit pattern of the target's width.
  ASSERT_EQ(To(Var(u"&HFFFF"), VT_I2, &out), S_OK);
  EXPECT_EQ(out.v.iVal, -1);
  EXPECT_EQ(To(Var(u"&H10000"), VT_I2, &out), DISP_E_OVERFLOW);
}

// Text rounds by its exact decimal value, not by the nearest double.
TEST(VariantChangeType, TextRoundsExactly) {
  Var out;
  ASSERT_EQ(To(Var(u"2.50000000000000000001"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 3);
  ASSERT_EQ(To(Var(u"-2.5"), VT_I2, &out), S_OK);
  EXPECT_EQ(out.v.iVal, -2);
  ASSERT_EQ(To(Var(u"-0.4"), VT_UI4, &out), S_OK);
  EXPECT_EQ(out.v.ulVal, 0u);
  EXPECT_EQ(To(Var(u"-0.6"), VT_UI4, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"-2147483648.4"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, INT32_MIN);
  EXPECT_EQ(To(Var(u"99999999999999999999999"), VT_I4, &out), DISP_E_OVERFLOW);
}

// Integers of one width change signedness bit for bit; True is all ones.
TEST(VariantChangeType, SameWidthKeepsTheBits) {
  Var out;
  ASSERT_EQ(To(Var::Long(-1), VT_UI4, &out), S_OK);
  EXPECT_EQ(out.v.ulVal, 4294967295u);
  Var big;
  big.v.vt = VT_UI4;
  big.v.ulVal = 2147483648u;
  ASSERT_EQ(To(big, VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, INT32_MIN);
  ASSERT_EQ(To(big, VT_INT, &out), S_OK);
  EXPECT_EQ(out.v.intVal, INT32_MIN);
  EXPECT_EQ(To(big, VT_I2, &out), DISP_E_OVERFLOW);
  Var truth;
  truth.v.vt = VT_BOOL;
  truth.v.boolVal = VARIANT_TRUE;
  ASSERT_EQ(To(truth, VT_UI1, &out), S_OK);
  EXPECT_EQ(out.v.bVal, 255);
  ASSERT_EQ(To(truth, VT_UI4, &out), S_OK);
  EXPECT_EQ(out.v.ulVal, 4294967295u);
}

TEST(VariantChangeType, DoublesRoundHalvesToEven) {
  Var out;
  const std::pair<double, LONG> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.49, 0}, {-0.5, 0}, {1.5000001, 2}};
  for (const auto& [in, expected] : cases) {
    ASSERT_EQ(To(Var::Double(in), VT_I4, &out), S_OK) << in;
    EXPECT_EQ(out.v.lVal, expected) << in;
  }
  ASSERT_EQ(To(Var(u"4.5"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 4);
}

TEST(VariantChangeType, ToTextAndBooleans) {
  Var out;
  ASSERT_EQ(To(Var::Long(-42), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"-42");
  ASSERT_EQ(To(Var::Double(0.25), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"0.25");
  Var empty;
  ASSERT_EQ(To(empty, VT_BSTR, &out), S_OK);
  ASSERT_NE(out.v.bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(out.v.bstrVal), 0u);
  ASSERT_EQ(To(empty, VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, 0);

  Var truth;
  truth.v.vt = VT_BOOL;
  truth.v.boolVal = VARIANT_TRUE;
  ASSERT_EQ(To(truth, VT_I4, &out), S_OK);
  EXPECT_EQ(out.v.lVal, -1);
  ASSERT_EQ(VariantChangeType(&out.v, &truth.v, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"True");
  ASSERT_EQ(To(Var(u"false"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.v.boolVal, VARIANT_FALSE);
  ASSERT_EQ(To(Var(u"#TRUE#"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.v.boolVal, VARIANT_TRUE);
  EXPECT_EQ(To(Var(u" True "), VT_BOOL, &out), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(To(Var::Double(-0.0), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"0");

  Var nothing;
  nothing.v.vt = VT_NULL;
  EXPECT_EQ(To(nothing, VT_I4, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, ByReferenceSourcesAndInPlace) {
  LONG target = 77;
  Var ref;
  ref.v.vt = VT_BYREF | VT_I4;
  ref.v.plVal = &target;
  Var out;
  ASSERT_EQ(To(ref, VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"77");
  ref.v.vt = VT_EMPTY;  // does not own target

  Var same(u"123");
  ASSERT_EQ(VariantChangeType(&same.v, &same.v, 0, VT_I2), S_OK);  // old string freed
  EXPECT_EQ(same.v.vt, VT_I2);
  EXPECT_EQ(same.v.iVal, 123);
}

// The number forms of the English (United States) locale: signs before or
// after, parentheses, grouping commas, a currency sign, hexadecimal bits.
TEST(VariantChangeType, TextInTheAutomationLibrarysNumberForms) {
  Var out;
  const std::pair<const char16_t*, LONG> cases[] = {
      {u"5-", -5},   {u"+5", 5},     {u"(5)", -5}, {u" ( 7 ) ", -7}, {u"(-5)", -5},       {u"1,000", 1000},
      {u"1,2,3", 123}, {u"1,,0", 10}, {u".5e1", 5}, {u"$5", 5},       {u"5$", 5},          {u"1e5+", 100000},
      {u"-&H10", 16}, {u"000", 0}};
  for (const auto& [text, expected] : cases) {
    ASSERT_EQ(To(Var(text), VT_I4, &out), S_OK) << quillon::ToUtf8(text);
    EXPECT_EQ(out.v.lVal, expected) << quillon::ToUtf8(text);
  }
  for (const char16_t* bad : {u"-5-", u",5", u"(5", u"5)", u"1e+", u"$1e3", u"1e2.5", u"&O8", u"1 000", u"--5"}) {
    EXPECT_EQ(To(Var(bad), VT_I4, &out), DISP_E_TYPEMISMATCH) << quillon::ToUtf8(bad);
  }
  ASSERT_EQ(To(Var(u"$1,234.50"), VT_R8, &out), S_OK);
  EXPECT_EQ(out.v.dblVal, 1234.5);
  EXPECT_EQ(To(Var(u"&HFFFFFFFFFFFFFFFF"), VT_R8, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"1e-400"), VT_R8, &out), S_OK);  // too small is zero
  EXPECT_EQ(out.v.dblVal, 0.0);
  EXPECT_EQ(To(Var(u"1e400"), VT_R8, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(To(Var(u"18446744073709551616"), VT_UI8, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"18446744073709551615"), VT_UI8, &out), S_OK);  // exact beyond a double
  EXPECT_EQ(out.v.ullVal, 18446744073709551615ull);
  ASSERT_EQ(To(Var::Double(1e20), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"1E+20");
  Var single;
  single.v.vt = VT_R4;
  single.v.fltVal = 0.1f;
  ASSERT_EQ(To(single, VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.v.bstrVal), u"0.1");  // a single's 7 digits
}

// A process whose locale writes numbers as "1,5" still reads and writes
// "1.5". The locale is built for the test in a temporary folder.
TEST(VariantChangeType, TheProcessLocaleDoesNotChangeNumbers) {
  // One folder per process: other builds may run this test at the same time.
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("quillon-locale-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);
  ASSERT_EQ(std::system(("localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 2>/dev/null").c_str()), 0);
  setenv("LOCPATH", dir.c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  Var out;
  const HRESULT read = To(Var(u"1.5"), VT_R8, &out);
  const double value = out.v.dblVal;
  const HRESULT written = To(Var::Double(2.25), VT_BSTR, &out);
  const std::u16string text = written == S_OK ? std::u16string(out.v.bstrVal) : u"";
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  ASSERT_EQ(read, S_OK);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(text, u"2.25");
}

}  // namespace
