// Feeds arbitrary bytes to the S-record reader. The reader must never crash
// or read out of bounds; a refused input must leave the record as it was;
// and whatever it accepts must write and read back to the same record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "preferences_record.h"
#include "s19_reader.h"
#include "s19_writer.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PreferencesRecord before = DefaultPreferences();
  PreferencesRecord record = before;
  const HRESULT hr = ReadS19Text(std::string_view(reinterpret_cast<const char*>(data), size), record);
  if (FAILED(hr)) {
    if (RecordToBytes(record) != RecordToBytes(before)) std::abort();
    return 0;
  }
  if (hr != S_OK) std::abort();
  PreferencesRecord again;
  std::memset(&again, 0x5A, sizeof again);
  if (ReadS19Text(FormatS19(record), again) != S_OK) std::abort();
  if (RecordToBytes(again) != RecordToBytes(record)) std::abort();
  return 0;
}
