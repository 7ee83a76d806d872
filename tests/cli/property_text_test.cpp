#include <gtest/gtest.h>

#include "config_json.h"
#include "property_text.h"

namespace quillon::cli {
namespace {

TEST(PropertyRef, PlainAndIndexedNames) {
  auto plain = ParsePropertyRef("BrightnessDay");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->name, "BrightnessDay");
  EXPECT_FALSE(plain->index);
  auto indexed = ParsePropertyRef("ElementX(WIN_FUEL)");
  ASSERT_TRUE(indexed);
  EXPECT_EQ(indexed->name, "ElementX");
  EXPECT_EQ(indexed->index, "WIN_FUEL");
  EXPECT_EQ(ParsePropertyRef("ColorBalance(-1)")->index, "-1");
  for (const char* bad : {"", "(1)", "X(", "X()", "X(1", "X(1))", "X((1)", "1abc", "a b", "X(1)y"})
    EXPECT_FALSE(ParsePropertyRef(bad)) << bad;
}

TEST(PropertyRef, Assignments) {
  auto a = ParseAssignment("VIN=1G A   B C 000001");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->first.name, "VIN");
  EXPECT_EQ(a->second, "1G A   B C 000001");
  auto b = ParseAssignment("ColorBalance(2)=-5=x");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->first.index, "2");
  EXPECT_EQ(b->second, "-5=x");
  EXPECT_EQ(ParseAssignment("Region=")->second, "");
  EXPECT_FALSE(ParseAssignment("Region"));
  EXPECT_FALSE(ParseAssignment("=5"));
}

TEST(Json, StringsAreEscaped) {
  EXPECT_EQ(JsonString("1G F"), "\"1G F\"");
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString(std::string("\x01\n", 2)), "\"\\u0001\\n\"");
  EXPECT_EQ(JsonString("\xC3\xA4"), "\"\xC3\xA4\"");
  // What a terminal would take as a command: DEL and the C1 controls (the
  // VIN's code page holds some); and a byte that is not UTF-8.
  EXPECT_EQ(JsonString("\x7F\xC2\x9B\xC2\xA0"), "\"\\u007f\\u009b\xC2\xA0\"");
  EXPECT_EQ(JsonString("a\xFF"), "\"a\\udcff\"");
}

// The configuration `show --json` prints, read back.
TEST(Json, ConfigurationsReadBack) {
  std::vector<ConfigEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseConfig("{\n  \"Region\": -0,\n  \"ColorBalance\": [1, -2, 3],\n"
                          "  \"VIN\": \"a\\u0001\\\"\\udcff\\n\"\n}\n", &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].values[0].text, "0");
  EXPECT_TRUE(entries[1].isArray);
  EXPECT_EQ(entries[1].values[1].text, "-2");
  EXPECT_EQ(entries[2].line, 4u);
  EXPECT_TRUE(entries[2].values[0].isText);
  EXPECT_EQ(entries[2].values[0].text, "a\x01\"\xFF\n");
  EXPECT_TRUE(ParseConfig("{}", &entries, &error));
  EXPECT_TRUE(entries.empty());

  const struct {
    const char* text;
    const char* error;
  } bad[] = {
      {"{\"A\": 1.5}", "line 1, column 8: a fraction"},
      {"{\"A\": 1,\n \"A\": 2}", "line 2, column 6: A is given twice"},
      {"{\"A\": 99999999999999999999}", "out of range"},
      {"{\"A\": [[1]]}", "expected an integer or a string"},
      {"{\"A\": \"x\ny\"}", "a control character"},
      {"{\"A\": 1} x", "text after the object"},
      {"[1]", "expected '{'"},
      {"{\"A\": \"x", "without its closing quote"},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(ParseConfig(b.text, &entries, &error)) << b.text;
    EXPECT_NE(error.find(b.error), std::string::npos) << b.text << ": " << error;
  }
}

}  // namespace
}  // namespace quillon::cli
