// The S-record reader: what it accepts, and that anything it refuses leaves
// the record exactly as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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
std::string Line(char type, int addressBytes, std::uint32_t address, const Bytes& data, const char* end = "\r\n") {
  char buf[8];
  std::string s = "S";
  s += type;
  const unsigned count = static_cast<unsigned>(addressBytes + data.size() + 1);
  std::snprintf(buf, sizeof buf, "%02X", count);
  s += buf;
  unsigned sum = count;
  for (int i = addressBytes - 1; i >= 0; --i) {
    const unsigned b = (address >> (8 * i)) & 0xFF;
    std::snprintf(buf, sizeof buf, "%02X", b);
    s += buf;
    sum += b;
  }
  for (auto b : data) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    s += buf;
    sum += b;
  }
  std::snprintf(buf, sizeof buf, "%02X", ~sum & 0xFF);
  return s + buf + end;
}

std::string S2(std::uint32_t address, const Bytes& data) { return Line('2', 3, address, data); }

// The 96 stream bytes (checksum, image, zero fill) of a record.
Bytes Stream(const PreferencesRecord& r) {
  const RecordBytes image = ToDeviceImage(r);
  const auto c = ImageChecksum(image);
  Bytes s(96, 0);
  s[0] = c[0];
  s[1] = c[1];
  for (std::size_t i = 0; i < image.size(); ++i) s[i + 2] = image[i];
  return s;
}

Bytes Slice(const Bytes& s, std::size_t line) {
  return Bytes(s.begin() + static_cast<long>(line * 32), s.begin() + static_cast<long>(line * 32 + 32));
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

PreferencesRecord ExpectRead(const std::string& text) {
  PreferencesRecord r = Unusual();
  EXPECT_EQ(ReadS19Text(text, r), S_OK) << text;
  return r;
}

TEST(ReadS19, RestoresWhatWasWritten) {
  for (const PreferencesRecord& written : {DefaultPreferences(), Unusual()}) {
    PreferencesRecord r = ExpectRead(FormatS19(written));
    EXPECT_EQ(RecordToBytes(r), RecordToBytes(written));
  }
}

TEST(ReadS19, LinesInAnyOrderAndLaterOnesWin) {
  const Bytes s = Stream(Unusual());
  const std::string l1 = S2(0x1200, Slice(s, 0)), l2 = S2(0x1220, Slice(s, 1)), l3 = S2(0x1240, Slice(s, 2));
  const RecordBytes expected = RecordToBytes(Unusual());
  EXPECT_EQ(RecordToBytes(ExpectRead(l3 + l1 + l2 + "S9030000FC\r\n")), expected);
  // A first version of line 2 full of 0x11 is overwritten by the real one.
  EXPECT_EQ(RecordToBytes(ExpectRead(S2(0x1220, Bytes(32, 0x11)) + l1 + l2 + l3 + "S9030000FC\r\n")), expected);
  // Positions no record covers stay zero.
  const RecordBytes only2 = RecordToBytes(FromDeviceImage([&] {
    RecordBytes image{};
    for (std::size_t i = 30; i < 62; ++i) image[i] = s[i + 2];
    return image;
  }()));
  EXPECT_EQ(RecordToBytes(ExpectRead(l2 + "S9030000FC")), only2);
  EXPECT_EQ(RecordToBytes(ExpectRead("S9030000FC\r\n")), RecordBytes{});
}

TEST(ReadS19, LineEndsBlanksCaseAndTrailingText) {
  const std::string crlf = FormatS19(Unusual());
  std::string lf, blanks, lower, trailing;
  for (char c : crlf) {
    if (c != '\r') lf += c;
    lower += static_cast<char>(c == 'S' ? c : std::tolower(static_cast<unsigned char>(c)));
  }
  std::size_t start = 0, end;
  while ((end = crlf.find("\r\n", start)) != std::string::npos) {
    blanks += "   \t" + crlf.substr(start, end - start) + "\r\n";
    trailing += crlf.substr(start, end - start) + " ; note\r\n";
    start = end + 2;
  }
  for (const std::string& text : {lf, blanks, lower, trailing})
    EXPECT_EQ(RecordToBytes(ExpectRead(text)), RecordToBytes(Unusual())) << text;
}

TEST(ReadS19, OtherRecordTypesAreSkippedAndEveryEndTypeEnds) {
  const std::string data = FormatS19(Unusual()).substr(0, 234);
  const std::string others = Line('1', 2, 0x1200, Bytes(32, 0xEE)) + Line('3', 4, 0x1200, Bytes(32, 0xEE)) +
                             Line('5', 2, 3, {});
  for (const std::string& end : {Line('7', 4, 0, {}), Line('8', 3, 0, {}), Line('9', 2, 0, {})}) {
    EXPECT_EQ(RecordToBytes(ExpectRead(others + data + others + end)), RecordToBytes(Unusual())) << end;
  }
  // Nothing after the end record is read.
  EXPECT_EQ(RecordToBytes(ExpectRead(data + "S9030000FC\r\nS2 garbage")), RecordToBytes(Unusual()));
}

TEST(ReadS19, HeaderRecords) {
  const std::string header = Line('0', 2, 0, Bytes{'h', 'd', 'r'});
  EXPECT_EQ(RecordToBytes(ExpectRead(header + FormatS19(Unusual()))), RecordToBytes(Unusual()));
  std::string bad = header;
  bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
  ExpectRefused(bad + FormatS19(DefaultPreferences()));
}

TEST(ReadS19, ImageChecksumAndBytesPastTheImageAreIgnored) {
  Bytes s = Stream(Unusual());
  s[0] ^= 0xFF;  // C0, C1
  s[1] ^= 0x33;
  s[79] = 0x99;  // inside the zero fill of line 3
  s[95] = 0x42;
  const std::string text = S2(0x1200, Slice(s, 0)) + S2(0x1220, Slice(s, 1)) + S2(0x1240, Slice(s, 2)) +
                           S2(0x1260, Bytes(32, 0x77)) + S2(0xFFFFE0, Bytes(32, 0x55)) + "S9030000FC";
  EXPECT_EQ(RecordToBytes(ExpectRead(text)), RecordToBytes(Unusual()));
}

TEST(ReadS19, RefusedDataRecordsLeaveTheRecordAlone) {
  const std::string good = FormatS19(DefaultPreferences());
  ExpectRefused(good.substr(0, 78) + S2(0x1210, Bytes(32, 1)) + "S9030000FC\r\n");  // not aligned
  ExpectRefused(good.substr(0, 78) + S2(0x11E0, Bytes(32, 1)) + "S9030000FC\r\n");  // below the image
  ExpectRefused(good.substr(0, 78) + S2(0x1220, Bytes(16, 1)) + "S9030000FC\r\n");  // 16 bytes
  ExpectRefused(S2(0x1200, Bytes(33, 1)) + "S9030000FC\r\n");
  ExpectRefused(S2(0x1200, {}) + "S9030000FC\r\n");
}

TEST(ReadS19, DamagedFilesFailAndLeaveTheRecordAlone) {
  const std::string good = FormatS19(DefaultPreferences());
  const auto changed = [&](std::size_t at, char c) {
    std::string text = good;
    text[at] = c;
    return text;
  };
  for (const std::string& text : {changed(78 + 74, 'F'),  // checksum of line 2: 46 -> F6
                                  changed(20, 'G'), changed(30, ' '), changed(40, '\0'),
                                  "S2FF" + good.substr(4),  // count gives 251 data bytes
                                  std::string("S203000000FC\r\n"),  // count below the address bytes wraps
                                  std::string("S9020000FD\r\n"), std::string("S9"), std::string("S"), std::string(),
                                  std::string("no records here\r\n"), good.substr(0, 234)})  // no end record
    ExpectRefused(text);
  for (std::size_t cut : {1u, 5u, 40u, 77u, 100u, 240u})
    ExpectRefused(good.substr(0, cut));  // ends inside a record
}

TEST(ReadS19, FilesThatCannotBeReadOrNeverEndFail) {
  TempDir dir;
  PreferencesRecord r = Unusual();
  EXPECT_EQ(ReadS19(dir.File("absent.S19"), r), E_FAIL);
  EXPECT_EQ(ReadS19(dir.path(), r), E_FAIL);
  EXPECT_EQ(ReadS19("", r), E_FAIL);
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadS19(fifo, r), E_FAIL);  // and does not wait for a writer
  EXPECT_EQ(ReadS19("/dev/zero", r), E_FAIL);  // endless input is cut off
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual()));
}

// A FIFO with a writer: reading ends at the end record, without waiting for
// the writer to close. (Pipes as /dev/stdin and <(...) are read in the
// command-line client's tests.)
TEST(ReadS19, AFifoIsReadUpToTheEndRecord) {
  const std::string text = FormatS19(Unusual());
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  PreferencesRecord r = DefaultPreferences();
  EXPECT_EQ(ReadS19(fifo, r), S_OK);
  ::close(writer);
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual()));
}

TEST(ReadS19, LargeFileReadThroughManyChunks) {
  // Records past the image fill well over one read chunk before the image.
  std::string text;
  for (std::uint32_t a = 0x1260; a < 0x1260 + 32 * 4000; a += 32) text += S2(a, Bytes(32, 0xAB));
  text += FormatS19(Unusual());
  TempDir dir;
  WriteFileBytes(dir.File("big.S19"), text);
  PreferencesRecord r = DefaultPreferences();
  ASSERT_EQ(ReadS19(dir.File("big.S19"), r), S_OK);
  EXPECT_EQ(RecordToBytes(r), RecordToBytes(Unusual()));
}

// The longest record the parser takes has 64 data bytes; a count beyond
// that is refused before any byte is stored.
TEST(ParseRecordLine, LengthBoundAndStatusCodes) {
  auto parse = [](const std::string& text) {
    ParsedRecord rec;
    S19Input in(text.data(), text.size());
    return in.ParseRecordLine(rec);
  };
  EXPECT_EQ(parse(Line('2', 3, 0, Bytes(64, 9))), PARSE_OK);
  EXPECT_EQ(parse("S246"), PARSE_BAD_LENGTH);  // 70 - 4 = 66 data bytes
  EXPECT_EQ(parse("S2xx"), PARSE_BAD_DIGIT);
  EXPECT_EQ(parse("S9030000FD"), PARSE_BAD_CHECKSUM);
  EXPECT_EQ(parse("s9030000FC\r\n"), PARSE_END_OF_FILE);  // "S" is upper case only
}

}  // namespace
}  // namespace quillon
