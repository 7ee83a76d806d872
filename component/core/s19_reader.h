// Reading a configuration from a Motorola S-record file.
//
// Accepts the files the writer produces and any file whose data records are
// S2 records of 32 data bytes at addresses that are multiples of 32 from
// 0x1200 upward, in any order. Reading is all or nothing: the record is
// replaced only when the whole file has been read up to an end record.
#pragma once

#include <winerror.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "preferences_record.h"

namespace quillon {

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

// A source of characters: a memory block, or an open file read in chunks.
class S19Input {
 public:
  S19Input(const char* data, std::size_t size);
  explicit S19Input(int fd);  // does not take ownership of fd

  // The next character, or NUL when nothing more can be read; AtEnd() tells
  // a NUL in the text from the end of the input.
  char ReadChar() {
    if (next_ != end_) return *next_++;
    return Refill() ? *next_++ : '\0';
  }
  bool AtEnd() const { return next_ == end_ && exhausted_; }
  bool ReadFailed() const { return read_error_ != 0; }

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
  int fd_ = -1;
  bool exhausted_ = false;
  int read_error_ = 0;
  std::unique_ptr<char[]> buffer_;
};

// Reads the records of `input` into `record`. S_OK once an end record is
// reached; E_FAIL for a refused data record, a damaged record or input that
// ends before an end record, and then `record` is left exactly as it was.
HRESULT ParseS19(S19Input& input, PreferencesRecord& record);

// Reads the file at `path` (UTF-8); E_FAIL as above or when it cannot be
// opened or is not a regular file.
HRESULT ReadS19(const std::string& path, PreferencesRecord& record);

// The same over text in memory.
HRESULT ReadS19Text(std::string_view text, PreferencesRecord& record);

}  // namespace quillon
