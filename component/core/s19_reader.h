// Reading a configuration from a Motorola S-record file.
//
// Accepts the files the writer produces and any file whose data records are
// S2 records of 32 data bytes at addresses that are multiples of 32 from
// 0x1200 upward, in any order. Reading is all or nothing: the record is
// replaced only when the whole file has been read up to an end record.
// Text that is not a record is skipped, and image bytes no record covers
// read as zeros: s19_check.h tells a caller when that happened.
#pragma once

#include <wtypes.h>

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "preferences_record.h"
#include "quillon_file.h"

namespace quillon {

inline constexpr std::uint32_t kImageAddress = 0x1200;
inline constexpr std::size_t kDataBytesPerRecord = 32;
// C0, C1 and the 77 image bytes.
inline constexpr std::size_t kStreamLength = 2 + kRecordSize;
// More input than this before an end record is refused: a stream such as
// /dev/zero would otherwise be read for ever.
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{64} << 20;

enum ParseStatus : std::uint8_t {
  PARSE_OK = 0,
  PARSE_BAD_DIGIT = 5,     // not a hex digit where one is needed
  PARSE_BAD_LENGTH = 6,    // the byte count gives more than 64 data bytes
  PARSE_BAD_CHECKSUM = 7,  // the record's checksum does not match
  PARSE_END_OF_FILE = 8,   // the input ended before another record began
};

enum RecordKind : std::uint8_t {
  RECORD_DATA = 1,
  RECORD_END = 2,
  RECORD_HEADER = 3,
};

inline constexpr std::size_t kMaxRecordData = 64;

struct ParsedRecord {
  std::uint8_t Kind = 0;
  std::uint8_t Length = 0;  // number of data bytes
  std::uint32_t Address = 0;
  std::uint8_t Data[kMaxRecordData];
};

// Why reading stopped before an end record, or refused a data record.
enum class ReadProblem : std::uint8_t {
  kNone,
  kDamagedRecord,  // a bad digit, an impossible byte count or a wrong checksum: see ParseStatus
  kNoEndRecord,    // the input ended before an end record
  kMisaligned,     // a data record at an address that is not a multiple of 32
  kWrongLength,    // a data record with other than 32 data bytes
  kBelowImage,     // a data record below 0x1200
  kUnreadable,     // the input could not be read, or went on past kMaxInputBytes
};

// What the parser saw besides the settings: which stream bytes data records
// covered, and where and why reading stopped.
struct ParseTrace {
  std::bitset<kStreamLength> covered;
  std::array<std::uint8_t, 2> storedCheckValue{};  // stream bytes 0 and 1, where covered
  unsigned dataRecords = 0;
  unsigned repeatedRecords = 0;   // data records for an address an earlier one already covered
  unsigned recordsPastImage = 0;  // data records wholly past the image, dropped
  ReadProblem problem = ReadProblem::kNone;
  ParseStatus damage = PARSE_OK;  // for kDamagedRecord
  std::uint64_t stoppedAt = 0;    // input bytes used up when reading stopped
};

// A source of characters: a memory block, or an open input read in chunks.
class S19Input {
 public:
  S19Input(const char* data, std::size_t size);
  explicit S19Input(file::Reader& reader);  // the reader stays the caller's

  // The next character, or NUL when nothing more can be read; AtEnd() tells
  // a NUL in the text from the end of the input.
  char ReadChar() {
    if (next_ != end_) return *next_++;
    return Refill() ? *next_++ : '\0';
  }
  bool AtEnd() const { return next_ == end_ && exhausted_; }
  bool ReadFailed() const { return read_failed_; }
  // Characters handed out so far.
  std::uint64_t Consumed() const { return refilled_ - static_cast<std::uint64_t>(end_ - next_); }

  // Two hex digits (either case) as one byte; PARSE_OK or PARSE_BAD_DIGIT.
  ParseStatus ReadHexByte(std::uint8_t& out);

  // Finds the next record (S0, S2, S7, S8, S9; other "S" lines and any text
  // between records are skipped) and checks it.
  ParseStatus ParseRecordLine(ParsedRecord& record);

 private:
  // Count, address, data and checksum of the longest record we accept.
  static constexpr std::size_t kLongestRecordBody = 2 * (1 + 4 + kMaxRecordData + 1);

  bool Refill();
  ParseStatus ParseBody(ParsedRecord& record, int addressBytes, const char*& p);
  ParseStatus ParseBodyByChar(ParsedRecord& record, int addressBytes);

  const char* next_;
  const char* end_;
  file::Reader* reader_ = nullptr;
  bool exhausted_ = false;
  bool read_failed_ = false;
  std::uint64_t refilled_ = 0;  // characters brought into the buffer so far
  std::unique_ptr<char[]> buffer_;
};

// Reads the records of `input` into `record`. S_OK once an end record is
// reached; E_FAIL for a refused data record, a damaged record or input that
// ends before an end record, and then `record` is left exactly as it was.
// `trace`, when given, learns what the parser saw.
HRESULT ParseS19(S19Input& input, PreferencesRecord& record, ParseTrace* trace = nullptr);

// Reads the file at `path`: a regular file, a pipe, a FIFO (one that no one
// writes reads as empty, so it fails at once) or a terminal. E_FAIL as above
// or when it cannot be opened or is a folder.
HRESULT ReadS19(const std::string& path, PreferencesRecord& record);

// The same over text in memory.
HRESULT ReadS19Text(std::string_view text, PreferencesRecord& record);

}  // namespace quillon
