#include "s19_check.h"

#include <algorithm>

#include "s19_reader.h"

namespace quillon {
namespace {

std::string ProblemText(const ParseTrace& trace) {
  switch (trace.problem) {
    case ReadProblem::kNone: return {};
    case ReadProblem::kDamagedRecord:
      switch (trace.damage) {
        case PARSE_BAD_DIGIT: return "a record holds a character that is not a hexadecimal digit";
        case PARSE_BAD_LENGTH: return "a record's byte count is impossible";
        case PARSE_BAD_CHECKSUM: return "a record's checksum does not match its bytes";
        default: return "a damaged record";
      }
    case ReadProblem::kNoEndRecord: return "the file ends before an end record (S7, S8 or S9)";
    case ReadProblem::kMisaligned: return "a data record's address is not a multiple of 32";
    case ReadProblem::kWrongLength: return "a data record does not hold 32 bytes";
    case ReadProblem::kBelowImage: return "a data record lies below address 0x1200";
    case ReadProblem::kUnreadable: return "the input cannot be read";
  }
  return {};
}

}  // namespace

ImageCheck CheckS19Text(std::string_view text) {
  ImageCheck check;
  ParseTrace trace;
  S19Input input(text.data(), text.size());
  check.readStatus = ParseS19(input, check.record, &trace);
  if (FAILED(check.readStatus)) {
    check.readProblem = ProblemText(trace);
    // The character that stopped reading is the last one used up.
    const std::size_t stop = std::min<std::size_t>(trace.stoppedAt, text.size());
    check.problemLine = 1 + static_cast<std::size_t>(
                                std::count(text.begin(), text.begin() + static_cast<long>(stop > 0 ? stop - 1 : 0), '\n'));
  }
  for (std::size_t i = 0; i < kRecordSize; ++i) {
    if (trace.covered[2 + i]) continue;
    if (!check.missing.empty() && check.missing.back().last + 1 == i) {
      check.missing.back().last = i;
    } else {
      check.missing.push_back({i, i});
    }
  }
  for (std::size_t r = 0; r < check.recordPresent.size(); ++r) check.recordPresent[r] = trace.covered[r * kDataBytesPerRecord];
  check.checkValuePresent = trace.covered[0] && trace.covered[1];
  check.storedCheckValue = trace.storedCheckValue;
  check.computedCheckValue = ImageChecksum(ToDeviceImage(check.record));
  check.repeatedRecords = trace.repeatedRecords;
  check.recordsPastImage = trace.recordsPastImage;
  return check;
}

std::string DescribeRanges(const std::vector<ImageRange>& ranges) {
  std::string out;
  for (const ImageRange& r : ranges) {
    if (!out.empty()) out += ", ";
    out += r.first == r.last ? "byte " + std::to_string(r.first)
                             : "bytes " + std::to_string(r.first) + "-" + std::to_string(r.last);
  }
  return out;
}

}  // namespace quillon
