// The image check: what reading skips or leaves at zero without a word.
// A whole file and one holding only the end record are checked through
// `quillon check` (tests/cli).
#include <gtest/gtest.h>

#include "default_file.h"
#include "preferences_record.h"
#include "s19_check.h"
#include "s19_writer.h"

namespace quillon {
namespace {

using testing::kDefaultFile;
using testing::kDataLine;

// "R224..." for "S224...": the line is not a record, so reading skips it
// and succeeds; the check names what is missing.
TEST(CheckS19Text, ASkippedLineIsNamed) {
  std::string text = kDefaultFile;
  text[kDataLine] = 'R';
  const ImageCheck check = CheckS19Text(text);
  EXPECT_EQ(check.readStatus, S_OK);
  EXPECT_FALSE(check.Complete());
  EXPECT_EQ(check.missing, (std::vector<ImageRange>{{30, 61}}));
  EXPECT_EQ(check.recordPresent, (std::array<bool, 3>{true, false, true}));
  EXPECT_TRUE(check.checkValuePresent);
  EXPECT_FALSE(check.CheckValueMatches());
  EXPECT_EQ(DescribeRanges(check.missing), "bytes 30-61");

  text = kDefaultFile.substr(0, kDataLine) + kDefaultFile.substr(3 * kDataLine);  // lines 2 and 3 gone
  EXPECT_EQ(DescribeRanges(CheckS19Text(text).missing), "bytes 30-76");
}

TEST(CheckS19Text, AWrongCheckValueIsToldApart) {
  // C0 changed from 4F to 50, and the line's own checksum with it (25 to 24).
  std::string text = kDefaultFile;
  text.replace(10, 2, "50");
  text.replace(74, 2, "24");
  const ImageCheck check = CheckS19Text(text);
  EXPECT_TRUE(check.Complete());
  EXPECT_FALSE(check.CheckValueMatches());
  EXPECT_EQ(check.storedCheckValue, (std::array<std::uint8_t, 2>{0x50, 0x15}));
  EXPECT_EQ(check.computedCheckValue, (std::array<std::uint8_t, 2>{0x4F, 0x15}));
}

TEST(CheckS19Text, FailuresNameTheLine) {
  std::string text = kDefaultFile;
  text[2 * kDataLine + 74] = 'F';  // line 3's checksum
  ImageCheck check = CheckS19Text(text);
  EXPECT_EQ(check.readStatus, E_FAIL);
  EXPECT_EQ(check.problemLine, 3u);
  EXPECT_NE(check.readProblem.find("checksum"), std::string::npos) << check.readProblem;

  check = CheckS19Text(kDefaultFile.substr(0, 3 * kDataLine));
  EXPECT_EQ(check.readStatus, E_FAIL);
  EXPECT_NE(check.readProblem.find("end record"), std::string::npos) << check.readProblem;
}

TEST(CheckS19Text, RepeatedRecordsAndRecordsPastTheImageAreCounted) {
  const std::string text = kDefaultFile.substr(kDataLine, kDataLine) + kDefaultFile;
  const ImageCheck check = CheckS19Text(text);
  EXPECT_TRUE(check.Complete());
  EXPECT_EQ(check.repeatedRecords, 1u);
  EXPECT_EQ(check.recordsPastImage, 0u);
  std::string past;
  const std::uint8_t zeros[32] = {};
  WriteDataRecord(past, 0x1260, zeros);
  EXPECT_EQ(CheckS19Text(past + kDefaultFile).recordsPastImage, 1u);
}

}  // namespace
}  // namespace quillon
