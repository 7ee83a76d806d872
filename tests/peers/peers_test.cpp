// The reference readers accept what we write and decode the same bytes, and
// we read what srec_cat writes with its own options. (Records we refuse,
// 16-byte or unaligned ones among them, are the reader's tests.)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "preferences_record.h"
#include "s19_reader.h"
#include "s19_writer.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PreferencesRecord Unusual() {
  RecordBytes bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x3C ^ (i * 11));
  return RecordFromBytes(bytes);
}

// Checksum, device image and zero fill: the 96 bytes at 0x1200.
std::string Stream(const PreferencesRecord& r) {
  const RecordBytes image = ToDeviceImage(r);
  const auto c = ImageChecksum(image);
  std::string s(96, '\0');
  s[0] = static_cast<char>(c[0]);
  s[1] = static_cast<char>(c[1]);
  std::copy(image.begin(), image.end(), s.begin() + 2);
  return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start + 1));
    start = end + 1;
  }
  return lines;
}

class Peers : public ::testing::Test {
 protected:
  TempDir dir;
  std::string F(const std::string& name) { return dir.File(name); }
};

// Each peer turns our file back into the 96 bytes at 0x1200: objcopy
// without a word, srec_cat with no complaint about a checksum (it warns
// that the file has no header record).
TEST_F(Peers, BothAcceptOurFilesAndDecodeTheSameBytes) {
  const std::string srecCat = std::string(SREC_CAT) + " " + F("ours.S19") + " -offset -0x1200 -o " + F("out.bin") + " -binary";
  const std::string objcopy = std::string(OBJCOPY) + " -I srec -O binary " + F("ours.S19") + " " + F("out.bin");
  for (const std::string& peer : {srecCat, objcopy}) {
    for (const PreferencesRecord& r : {DefaultPreferences(), Unusual()}) {
      ASSERT_EQ(WriteS19(F("ours.S19"), r).status, S_OK);
      ASSERT_EQ(RunCommand(peer + " 2>" + F("err.txt")), 0) << ReadFileBytes(F("err.txt"));
      const std::string err = ReadFileBytes(F("err.txt"));
      EXPECT_TRUE(peer == srecCat ? err.find("checksum") == std::string::npos : err.empty()) << err;
      EXPECT_EQ(ReadFileBytes(F("out.bin")), Stream(r)) << peer;
    }
  }
}

TEST_F(Peers, PeersRejectADamagedFileSoTheirAcceptanceMeansSomething) {
  std::string text = FormatS19(DefaultPreferences());
  text[74] = text[74] == '0' ? '1' : '0';  // checksum of line 1
  WriteFileBytes(F("bad.S19"), text);
  EXPECT_NE(RunCommand(std::string(SREC_CAT) + " " + F("bad.S19") + " -o /dev/null -binary 2>/dev/null"), 0);
  EXPECT_NE(RunCommand(std::string(OBJCOPY) + " -I srec -O binary " + F("bad.S19") + " /dev/null 2>/dev/null"), 0);
}

// srec_cat turns the binary stream into S-records with the given options.
std::string SrecCatOutput(TempDir& dir, const PreferencesRecord& r, const std::string& options) {
  WriteFileBytes(dir.File("stream.bin"), Stream(r));
  const std::string out = dir.File("theirs.S19");
  EXPECT_EQ(RunCommand(std::string(SREC_CAT) + " " + dir.File("stream.bin") + " -binary " + options + " -execution-start-address=0 -o " + out +
                " -motorola -address-length=3 -obs=32" +
                " 2>/dev/null"),
            0);
  return ReadFileBytes(out);
}

TEST_F(Peers, WeReadWhatSrecCatWrites) {
  const PreferencesRecord r = Unusual();
  // S0 header, three S2 records, an S5 count and an S8 end, LF line ends.
  const std::string plain = SrecCatOutput(dir, r, "-offset 0x1200");
  ASSERT_NE(plain.find("S0"), std::string::npos);
  ASSERT_EQ(plain.find('\r'), std::string::npos);
  std::vector<std::string> lines = SplitLines(plain);
  ASSERT_GE(lines.size(), 5u);

  std::string reversed;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (it->rfind("S2", 0) == 0) reversed += *it;
  std::string withS9;
  for (const auto& l : lines) withS9 += l.rfind("S8", 0) == 0 ? "S9030000FC\n" : l;
  const std::string crlf = SrecCatOutput(dir, r, "-offset 0x1200 -line-termination=crlf");
  ASSERT_NE(crlf.find("\r\n"), std::string::npos);

  for (const std::string& text : {plain, lines[0] + reversed + "S804000000FB\n", withS9, crlf}) {
    PreferencesRecord read = DefaultPreferences();
    EXPECT_EQ(ReadS19Text(text, read), S_OK) << text;
    EXPECT_EQ(RecordToBytes(read), RecordToBytes(r)) << text;
  }
}

}  // namespace
}  // namespace quillon
