// VARIANT conversions that the dispatch cases (tests/windows), compared with
// the system's automation library, do not show: those nothing we ship
// passes through a call, and the process locale.
#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

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
  Var(const Var&) = delete;
  Var(Var&& o) noexcept : v(o.v) { VariantInit(&o.v); }
  ~Var() { VariantClear(&v); }
  VARIANT v;
};

HRESULT To(const Var& from, VARTYPE vt, Var* out) { return VariantChangeType(&out->v, &from.v, 0, vt); }

// Digits are read exactly, not through a double.
TEST(VariantChangeType, SixtyFourBitsBeyondADouble) {
  Var out;
  EXPECT_EQ(To(Var(u"18446744073709551616"), VT_UI8, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(To(Var(u"18446744073709551615"), VT_UI8, &out), S_OK);
  EXPECT_EQ(out.v.ullVal, 18446744073709551615ull);
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
