// The file a new object's settings make: the four documented lines.
#pragma once

#include <cstddef>
#include <string>

namespace quillon::testing {

inline const std::string kDefaultFile =
    "S2240012004F150100004D000F464759000B3202BCFA14040A04B0EA6000FFFFFF03FF02E725\r\n"
    "S22400122002300064000012C0FB01000000000B3C00015F900FA000000F32B8002000000046\r\n"
    "S2240012400007008407012E07013A72012E07010000000000000000000000000000000000DD\r\n"
    "S9030000FC\r\n";
inline constexpr std::size_t kDataLine = 78;  // characters of a data line with its CR LF

}  // namespace quillon::testing
