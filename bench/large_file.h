// A large S-record file for throughput measurements: aligned 32-byte S2
// records from 0x1200 to the end of the 24-bit address space (about 40 MB),
// the image in the first three, then an S9 end record.
#pragma once

#include <string>

#include "preferences_record.h"

namespace quillon::bench {

std::string LargeS19Text(const PreferencesRecord& record);

}  // namespace quillon::bench
