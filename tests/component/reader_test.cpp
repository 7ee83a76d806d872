// The S-record reader: what it accepts, and that anything it refuses leaves
// the record exactly as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "preferences_record.h"
#include "s19_reader.h"
#include "s19_writer.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TempDir;
using testing::WriteFileBytes;

// Builds one record line with a correct checksum, independently of the writer.
std::string Line(char type, int addressBytes, std::uint32_t address, const Bytes& data) {
  Bytes fields{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
  for (int i = addressBytes - 1; i >= 0; --i) fields.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  fields.insert(fields.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (auto b : fields) sum += b;
  fields.push_back(static_cast<std::uint8_t>(~sum));
  std::string s = {'S', type};
  char hex[3];
  for (auto b : fields) s += (std::snprintf(hex, sizeof hex, "%02X", b), hex);
  return s + "\r\n";
}

std::string S2(std::uint32_t address, const Bytes& data) { return Line('2', 3, address, data); }

// The 96 stream bytes (checksum, image, zero fill) of a record, and the data
// record holding line `n` of them.
Bytes Stream(const PreferencesRecord& r) {
  const RecordBytes image = ToDeviceImage(r);
  const auto c = ImageChecksum(image);
  Bytes s(96, 0);
  s[0] = c[0];
  s[1] = c[1];
  std::copy(image.begin(), image.end(), s.begin() + 2);
  return s;
}
std::string S2Of(const Bytes& s, std::size_t n) {
  return S2(static_cast<std::uint32_t>(0x1200 + 32 * n), Bytes(s.begin() + 32 * n, s.begin() + 32 * n + 32));
}

// A record unlike the defaults, with odd values in the fields no property
// reaches, so that "unchanged" and "passed through" can be told apart.
PreferencesRecord Unusual() {
  RecordBytes bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0xC3 ^ (i * 7));
  PreferencesRecord r = RecordFromBytes(bytes);
  r.Version = 0x0203;
  r.RecordSize = 99;
  r.Reserved34 = 0x34;
  r.Reserved61 = 0x61;
  return r;
}

// Reads `text`; expects failure and an untouched record.
void ExpectRefused(const std::string& text) {
  PreferencesRecord r = Unusual();
  EXPECT_EQ(ReadS19Text(text, r), E_FAIL) << text;
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual())) << text;
}

RecordBytes ExpectRead(const std::string& text) {
  PreferencesRecord r = Unusual();
  EXPECT_EQ(ReadS19Text(text, r), S_OK) << text;
  return RecordToBytes(r);
}

TEST(ReadS19, RestoresWhatWasWritten) {
  for (const PreferencesRecord& written : {DefaultPreferences(), Unusual()})
    EXPECT_EQ(ExpectRead(FormatS19(written)), RecordToBytes(written));
}

TEST(ReadS19, LinesInAnyOrderAndLaterOnesWin) {
  const Bytes s = Stream(Unusual());
  const std::string l1 = S2Of(s, 0), l2 = S2Of(s, 1), l3 = S2Of(s, 2), end = "S9030000FC\r\n";
  const RecordBytes expected = RecordToBytes(Unusual());
  EXPECT_EQ(ExpectRead(l3 + l1 + l2 + end), expected);
  // A first version of line 2 full of 0x11 is overwritten by the real one.
  EXPECT_EQ(ExpectRead(S2(0x1220, Bytes(32, 0x11)) + l1 + l2 + l3 + end), expected);
  // Positions no record covers stay zero.
  RecordBytes only2{};
  std::copy(s.begin() + 32, s.begin() + 64, only2.begin() + 30);
  EXPECT_EQ(ExpectRead(l2 + "S9030000FC"), RecordToBytes(FromDeviceImage(only2)));
  EXPECT_EQ(ExpectRead(end), RecordBytes{});
}

TEST(ReadS19, LineEndsBlanksCaseAndTrailingText) {
  const std::string crlf = FormatS19(Unusual());
  const auto ended = [&](const std::string& with) {  // each CR LF replaced
    std::string text;
    for (std::size_t at = 0, next; (next = crlf.find("\r\n", at)) != std::string::npos; at = next + 2)
      text += crlf.substr(at, next - at) + with;
    return text;
  };
  std::string lower = crlf;
  for (char& c : lower) c = c == 'S' ? c : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& text : {ended("\n"), "   \t" + ended("\r\n   \t"), lower, ended(" ; note\r\n")})
    EXPECT_EQ(ExpectRead(text), RecordToBytes(Unusual())) << text;
}

TEST(ReadS19, OtherRecordTypesAreSkippedAndEveryEndTypeEnds) {
  const std::string data = FormatS19(Unusual()).substr(0, 234);
  const std::string others = Line('0', 2, 0, {'h', 'd', 'r'}) + Line('1', 2, 0x1200, Bytes(32, 0xEE)) +
                             Line('3', 4, 0x1200, Bytes(32, 0xEE)) + Line('5', 2, 3, {});
  for (const std::string& end : {Line('7', 4, 0, {}), Line('8', 3, 0, {}), Line('9', 2, 0, {})})
    EXPECT_EQ(ExpectRead(others + data + others + end), RecordToBytes(Unusual())) << end;
  // Nothing after the end record is read.
  EXPECT_EQ(ExpectRead(data + "S9030000FC\r\nS2 garbage"), RecordToBytes(Unusual()));
}

TEST(ReadS19, ImageChecksumAndBytesPastTheImageAreIgnored) {
  Bytes s = Stream(Unusual());
  s[0] ^= 0xFF;  // C0, C1
  s[1] ^= 0x33;
  s[79] = 0x99;  // inside the zero fill of line 3
  s[95] = 0x42;
  const std::string text = S2Of(s, 0) + S2Of(s, 1) + S2Of(s, 2) + S2(0x1260, Bytes(32, 0x77)) +
                           S2(0xFFFFE0, Bytes(32, 0x55)) + "S9030000FC";
  EXPECT_EQ(ExpectRead(text), RecordToBytes(Unusual()));
}

TEST(ReadS19, DamagedFilesAndRefusedRecordsLeaveTheRecordAlone) {
  const std::string good = FormatS19(DefaultPreferences()), first = good.substr(0, 78), end = "S9030000FC\r\n";
  const auto changed = [&](std::size_t at, char c) {
    std::string text = good;
    text[at] = c;
    return text;
  };
  for (const std::string& text : {changed(78 + 74, 'F'),  // checksum of line 2: 46 -> F6
                                  changed(20, 'G'), changed(30, ' '), changed(40, '\0'),
                                  "S2FF" + good.substr(4),  // count gives 251 data bytes
                                  "S0060000686472BC\r\n" + good,  // a header's checksum: BB -> BC
                                  first + S2(0x1210, Bytes(32, 1)) + end,  // not aligned
                                  first + S2(0x11E0, Bytes(32, 1)) + end,  // below the image
                                  first + S2(0x1220, Bytes(16, 1)) + end, S2(0x1200, Bytes(33, 1)) + end,
                                  S2(0x1200, {}) + end,
                                  std::string("S203000000FC\r\n"),  // count below the address bytes wraps
                                  std::string("S9020000FD\r\n"), std::string("S9"), std::string("S"), std::string(),
                                  std::string("no records here\r\n"), good.substr(0, 234)})  // no end record
    ExpectRefused(text);
  for (std::size_t cut : {1u, 5u, 40u, 77u, 100u, 240u})
    ExpectRefused(good.substr(0, cut));  // ends inside a record
}

// Files that cannot be read or never end fail without waiting; a FIFO with
// a writer is read up to the end record, without waiting for the writer to
// close; a large file is read through many chunks. (Pipes as /dev/stdin and
// <(...) are read in the command-line client's tests.)
TEST(ReadS19, FilesFifosAndLargeFiles) {
  TempDir dir;
  PreferencesRecord r = Unusual();
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.File("absent.S19"), dir.path(), std::string(), fifo, std::string("/dev/zero")})
    EXPECT_EQ(ReadS19(path, r), E_FAIL) << path;
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual()));

  const std::string text = FormatS19(DefaultPreferences());
  const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  EXPECT_EQ(ReadS19(fifo, r), S_OK);
  ::close(writer);
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(DefaultPreferences()));

  // Records past the image fill well over one read chunk before the image.
  std::string big;
  for (std::uint32_t a = 0x1260; a < 0x1260 + 32 * 4000; a += 32) big += S2(a, Bytes(32, 0xAB));
  WriteFileBytes(dir.File("big.S19"), big + FormatS19(Unusual()));
  ASSERT_EQ(ReadS19(dir.File("big.S19"), r), S_OK);
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual()));
}

// A byte count beyond the 64 data bytes a parsed record holds is refused
// before any byte is stored.
TEST(ParseRecordLine, CountBeyondTheDataBufferIsRefused) {
  // Decoded from a buffer that holds the whole record, and character by
  // character from one that does not.
  for (const std::string& line : {Line('2', 3, 0, Bytes(66, 9)), std::string("S246")}) {
    ParsedRecord rec;
    S19Input in(line.data(), line.size());
    EXPECT_EQ(in.ParseRecordLine(rec), PARSE_BAD_LENGTH) << line;
  }
}

}  // namespace
}  // namespace quillon
