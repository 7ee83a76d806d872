// What the dispatch cases (tests/windows), compared with the system's
// automation library, cannot show: VARIANT conversions under a process
// locale that writes numbers otherwise (Qt sets the user's in the editor).
#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

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
  VARIANT text, number, out;
  VariantInit(&out);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"1.5");
  number.vt = VT_R8;
  number.dblVal = 2.25;
  const HRESULT read = VariantChangeType(&out, &text, 0, VT_R8);
  const double value = out.dblVal;
  const HRESULT written = VariantChangeType(&out, &number, 0, VT_BSTR);
  const std::u16string shown = written == S_OK ? std::u16string(out.bstrVal) : u"";
  VariantClear(&out);
  VariantClear(&text);
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  ASSERT_EQ(read, S_OK);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(shown, u"2.25");
}

}  // namespace
