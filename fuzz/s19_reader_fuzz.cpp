// Feeds arbitrary bytes to the S-record reader. The reader must never crash
// or read out of bounds; a refused input must leave the record as it was;
// whatever it accepts must write and read back to the same record; and the
// image check must see the same outcome.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "preferences_record.h"
#include "s19_check.h"
#include "s19_reader.h"
#include "s19_writer.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PreferencesRecord before = DefaultPreferences();
  PreferencesRecord record = before;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const HRESULT hr = ReadS19Text(text, record);
  const ImageCheck check = CheckS19Text(text);
  if (check.readStatus != hr) std::abort();
  if (SUCCEEDED(hr) && RecordToBytes(check.record) != RecordToBytes(record)) std::abort();
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
