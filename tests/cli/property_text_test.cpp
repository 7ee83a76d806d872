#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace quillon::cli
