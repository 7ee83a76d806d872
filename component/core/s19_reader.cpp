#include "s19_reader.h"

#include <array>

namespace quillon {
namespace {

constexpr std::size_t kChunkSize = 1 << 16;

constexpr std::array<std::int8_t, 256> MakeHexTable() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::int8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::int8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::int8_t>(c - 'a' + 10);
  return t;
}
constexpr auto kHexValue = MakeHexTable();

int HexValue(char c) { return kHexValue[static_cast<unsigned char>(c)]; }

// Two hex digits as one byte, or -1 when either is not a digit.
int DecodePair(const char* p) {
  const int high = HexValue(p[0]);
  const int low = HexValue(p[1]);
  return (high | low) < 0 ? -1 : high * 16 + low;
}

// Where and why reading stopped; returns E_FAIL for the caller to pass on.
HRESULT Stop(ParseTrace* trace, const S19Input& input, ReadProblem problem, ParseStatus damage = PARSE_OK) {
  if (trace != nullptr) {
    trace->problem = problem;
    trace->damage = damage;
    trace->stoppedAt = input.Consumed();
  }
  return E_FAIL;
}

}  // namespace

S19Input::S19Input(const char* data, std::size_t size)
    : next_(data), end_(data + size), exhausted_(true), refilled_(size) {}

S19Input::S19Input(file::Reader& reader)
    : next_(nullptr), end_(nullptr), reader_(&reader), buffer_(new char[kChunkSize]) {}

bool S19Input::Refill() {
  if (exhausted_) return false;
  const long n = refilled_ >= kMaxInputBytes ? -1 : reader_->Read(buffer_.get(), kChunkSize);
  if (n <= 0) {
    read_failed_ = n < 0;
    exhausted_ = true;
    return false;
  }
  next_ = buffer_.get();
  end_ = next_ + n;
  refilled_ += static_cast<std::uint64_t>(n);
  return true;
}

ParseStatus S19Input::ReadHexByte(std::uint8_t& out) {
  out = 0;
  const int high = HexValue(ReadChar());
  if (high < 0) return PARSE_BAD_DIGIT;
  const int low = HexValue(ReadChar());
  if (low < 0) return PARSE_BAD_DIGIT;
  out = static_cast<std::uint8_t>(high * 16 + low);
  return PARSE_OK;
}

ParseStatus S19Input::ParseRecordLine(ParsedRecord& record) {
  int addressBytes = 0;
  for (;;) {
    char c = ReadChar();
    while (c != 'S') {
      if (c == '\0' && AtEnd()) return PARSE_END_OF_FILE;
      c = ReadChar();
    }
    // The type character is used up whether or not it names a record we read.
    switch (ReadChar()) {
      case '0': record.Kind = RECORD_HEADER; addressBytes = 2; break;
      case '2': record.Kind = RECORD_DATA; addressBytes = 3; break;
      case '7': record.Kind = RECORD_END; addressBytes = 4; break;
      case '8': record.Kind = RECORD_END; addressBytes = 3; break;
      case '9': record.Kind = RECORD_END; addressBytes = 2; break;
      default: continue;
    }
    break;
  }
  // Nearly every record lies wholly inside the current chunk; it is then
  // decoded straight from the buffer, without a check per character.
  if (static_cast<std::size_t>(end_ - next_) >= kLongestRecordBody) return ParseBody(record, addressBytes, next_);
  return ParseBodyByChar(record, addressBytes);
}

ParseStatus S19Input::ParseBody(ParsedRecord& record, int addressBytes, const char*& p) {
  int count = DecodePair(p);
  if (count < 0) return PARSE_BAD_DIGIT;
  p += 2;
  unsigned sum = static_cast<unsigned>(count);
  // Computed in 8 bits: a count below addressBytes + 1 wraps above 64.
  record.Length = static_cast<std::uint8_t>(count - (addressBytes + 1));
  if (record.Length > kMaxRecordData) return PARSE_BAD_LENGTH;
  record.Address = 0;
  for (int i = 0; i < addressBytes; ++i, p += 2) {
    const int b = DecodePair(p);
    if (b < 0) return PARSE_BAD_DIGIT;
    sum += static_cast<unsigned>(b);
    record.Address = (record.Address << 8) | static_cast<std::uint32_t>(b);
  }
  for (unsigned i = 0; i < record.Length; ++i, p += 2) {
    const int b = DecodePair(p);
    if (b < 0) return PARSE_BAD_DIGIT;
    sum += static_cast<unsigned>(b);
    record.Data[i] = static_cast<std::uint8_t>(b);
  }
  const int checksum = DecodePair(p);
  if (checksum < 0) return PARSE_BAD_DIGIT;
  p += 2;
  return (~sum & 0xFF) == static_cast<unsigned>(checksum) ? PARSE_OK : PARSE_BAD_CHECKSUM;
}

ParseStatus S19Input::ParseBodyByChar(ParsedRecord& record, int addressBytes) {
  std::uint8_t count;
  if (ParseStatus s = ReadHexByte(count); s != PARSE_OK) return s;
  unsigned sum = count;
  record.Length = static_cast<std::uint8_t>(count - (addressBytes + 1));
  if (record.Length > kMaxRecordData) return PARSE_BAD_LENGTH;
  record.Address = 0;
  for (int i = 0; i < addressBytes; ++i) {
    std::uint8_t b;
    if (ParseStatus s = ReadHexByte(b); s != PARSE_OK) return s;
    sum += b;
    record.Address = (record.Address << 8) | b;
  }
  for (unsigned i = 0; i < record.Length; ++i) {
    if (ParseStatus s = ReadHexByte(record.Data[i]); s != PARSE_OK) return s;
    sum += record.Data[i];
  }
  std::uint8_t checksum;
  if (ParseStatus s = ReadHexByte(checksum); s != PARSE_OK) return s;
  return static_cast<std::uint8_t>(~sum & 0xFF) == checksum ? PARSE_OK : PARSE_BAD_CHECKSUM;
}

HRESULT ParseS19(S19Input& input, PreferencesRecord& record, ParseTrace* trace) {
  // Everything lands in a scratch block first; the caller's record changes
  // only after an end record has been reached.
  RecordBytes image{};
  ParsedRecord parsed;
  for (;;) {
    if (const ParseStatus status = input.ParseRecordLine(parsed); status != PARSE_OK) {
      if (input.ReadFailed()) return Stop(trace, input, ReadProblem::kUnreadable);
      if (status == PARSE_END_OF_FILE) return Stop(trace, input, ReadProblem::kNoEndRecord);
      return Stop(trace, input, ReadProblem::kDamagedRecord, status);
    }
    if (parsed.Kind == RECORD_END) break;
    if (parsed.Kind == RECORD_HEADER) continue;
    if ((parsed.Address & 0x1F) != 0) return Stop(trace, input, ReadProblem::kMisaligned);
    if (parsed.Length != kDataBytesPerRecord) return Stop(trace, input, ReadProblem::kWrongLength);
    if (parsed.Address < kImageAddress) return Stop(trace, input, ReadProblem::kBelowImage);
    // Stream bytes 0 and 1 are the image's check value, which reading does
    // not compare; stream bytes past the image are dropped.
    const std::uint32_t offset = parsed.Address - kImageAddress;
    for (std::uint32_t j = 0; j < kDataBytesPerRecord; ++j) {
      const std::uint32_t p = offset + j;
      if (p >= 2 && p - 2 < kRecordSize) image[p - 2] = parsed.Data[j];
    }
    if (trace != nullptr) {
      ++trace->dataRecords;
      if (offset >= kStreamLength) {
        ++trace->recordsPastImage;
        continue;
      }
      if (trace->covered[offset]) ++trace->repeatedRecords;
      for (std::uint32_t p = offset; p < offset + kDataBytesPerRecord && p < kStreamLength; ++p) {
        trace->covered[p] = true;
        if (p < 2) trace->storedCheckValue[p] = parsed.Data[p - offset];
      }
    }
  }
  if (trace != nullptr) trace->stoppedAt = input.Consumed();
  record = FromDeviceImage(image);
  return S_OK;
}

HRESULT ReadS19(const std::string& path, PreferencesRecord& record) {
  file::Reader reader;
  if (!reader.Open(path, false)) return E_FAIL;
  S19Input input(reader);
  return ParseS19(input, record);
}

HRESULT ReadS19Text(std::string_view text, PreferencesRecord& record) {
  S19Input input(text.data(), text.size());
  return ParseS19(input, record);
}

}  // namespace quillon
