#include "s19_writer.h"

#include <algorithm>
#include <cstring>

#include "quillon_file.h"

namespace quillon {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, std::uint8_t value) {
  out.push_back(kHexDigits[value >> 4]);
  out.push_back(kHexDigits[value & 0x0F]);
}

}  // namespace

void WriteDataRecord(std::string& out, std::uint16_t address, const std::uint8_t (&data)[kDataBytesPerRecord]) {
  out += "S22400";
  const auto high = static_cast<std::uint8_t>(address >> 8);
  const auto low = static_cast<std::uint8_t>(address & 0xFF);
  AppendHexByte(out, high);
  AppendHexByte(out, low);
  unsigned sum = 0x24u + high + low;
  for (std::uint8_t b : data) {
    sum += b;
    AppendHexByte(out, b);
  }
  AppendHexByte(out, static_cast<std::uint8_t>(~sum & 0xFF));
  out += "\r\n";
}

std::string FormatS19(const PreferencesRecord& record) {
  RecordBytes image;
  ConvertByteOrder(record, image);
  const auto checksum = ImageChecksum(image);

  std::uint8_t stream[kStreamLength];
  stream[0] = checksum[0];
  stream[1] = checksum[1];
  std::memcpy(stream + 2, image.data(), kRecordSize);

  std::string out;
  out.reserve(246);
  auto address = static_cast<std::uint16_t>(kImageAddress);
  for (std::size_t pos = 0; pos < kStreamLength; pos += kDataBytesPerRecord) {
    std::uint8_t buffer[kDataBytesPerRecord] = {};  // the last record is filled with zeros
    const std::size_t n = std::min(kDataBytesPerRecord, kStreamLength - pos);
    std::memcpy(buffer, stream + pos, n);
    WriteDataRecord(out, address, buffer);
    address = static_cast<std::uint16_t>(address + kDataBytesPerRecord);
  }
  out += kEndLine;
  out += "\r\n";
  return out;
}

WriteResult WriteS19(const std::string& path, const PreferencesRecord& record) {
  const file::WriteOutcome outcome = file::Replace(path, FormatS19(record), 0666);
  switch (outcome.status) {
    case file::WriteStatus::kWritten: return {};
    case file::WriteStatus::kCannotCreate: return {DISP_E_EXCEPTION, kFileNotFound};
    case file::WriteStatus::kFailed: break;
  }
  return {DISP_E_EXCEPTION,
          std::string("Cannot ") + outcome.step + " '" + path + "': " + file::ErrorText(outcome.error)};
}

}  // namespace quillon
