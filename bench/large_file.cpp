#include "large_file.h"

#include <cstring>

#include "s19_writer.h"

namespace quillon::bench {

std::string LargeS19Text(const PreferencesRecord& record) {
  // The writer's first three lines carry the image; every record after them
  // lies past the image and is dropped by the reader.
  const std::string image = FormatS19(record);
  std::string text = image.substr(0, image.size() - (sizeof kEndLine - 1) - 2);
  std::uint8_t data[kDataBytesPerRecord];
  char line[96];
  for (std::uint32_t address = 0x1260; address < 0x1000000; address += kDataBytesPerRecord) {
    for (std::size_t i = 0; i < kDataBytesPerRecord; ++i) data[i] = static_cast<std::uint8_t>(address + i * 37);
    unsigned sum = 0x24 + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
    int n = std::snprintf(line, sizeof line, "S224%06X", address);
    for (std::uint8_t b : data) {
      sum += b;
      n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", b);
    }
    n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\r\n", ~sum & 0xFF);
    text.append(line, static_cast<std::size_t>(n));
  }
  text += kEndLine;
  text += "\r\n";
  return text;
}

}  // namespace quillon::bench
