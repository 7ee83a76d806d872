// Writing the configuration as a Motorola S-record file.
//
// The file carries the image checksum and the 77-byte device image at
// consecutive addresses from 0x1200 upward in three S2 records of 32 data
// bytes, the last filled up with zeros, followed by the fixed end line
// "S9030000FC". Lines end in CR LF, written explicitly; upper-case hex.
#pragma once

#include <wtypes.h>

#include <cstdint>
#include <string>

#include "preferences_record.h"
#include "s19_reader.h"

namespace quillon {

inline constexpr char kEndLine[] = "S9030000FC";
inline constexpr char kFileNotFound[] = "File not found!";

// Appends one data line: "S2", count "24", address as "00" and four digits,
// the 32 bytes and the checksum (ones' complement of the low byte of the sum
// of count, address bytes and data), then CR LF.
void WriteDataRecord(std::string& out, std::uint16_t address, const std::uint8_t (&data)[kDataBytesPerRecord]);

// The whole file for `record`: always four lines and 246 bytes.
std::string FormatS19(const PreferencesRecord& record);

struct WriteResult {
  HRESULT status = S_OK;
  std::string description;  // readable reason when status is a failure
};

// Writes the file at `path` as file::Replace does: a regular file is
// replaced atomically and only once the new content is completely written
// and flushed, so a failure or a kill never leaves a truncated file or
// destroys the old one; symbolic links are written through; a stream, a
// device or what a descriptor link (/dev/stdout) leads to is written in
// place. Failures return DISP_E_EXCEPTION: with "File not found!" when the
// file cannot be created (missing folder, no right to write, a read-only
// target, a folder, an empty name), and with a description of the system
// error when writing it fails later.
WriteResult WriteS19(const std::string& path, const PreferencesRecord& record);

}  // namespace quillon
