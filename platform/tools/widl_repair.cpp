// widl_repair IN.tlb LIBID OUT.tlb
//
// widl 7.0 (Debian 12) damages a type library in which a dispinterface
// comes before a dual interface: the second import of IDispatch finds its
// identifier already in the GUID table, gets offset -1 back, records -1 as
// the import's GUID offset, and writes the import's reference into byte
// 16 + (-1) = 15 of the table -- the last byte of the library identifier.
// The library then registers under a wrong identifier and its dual
// interface names a base that cannot be found.
//
// This tool mends exactly that: it points the broken import at IDispatch's
// entry and puts back the identifier's last byte, then checks that the
// identifier equals LIBID (the one the .idl file states) and fails the
// build otherwise. A library without the fault passes through unchanged.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kSegmentEntry = 16;
constexpr int kGuidEntry = 24;
constexpr int kImpInfoEntry = 12;
constexpr std::uint32_t kOffsetIsGuid = 0x00010000;
constexpr std::uint8_t kIDispatch[16] = {0x00, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

int Fail(const std::string& why) {
  std::fprintf(stderr, "widl_repair: %s\n", why.c_str());
  return 1;
}

std::int32_t Int(const std::vector<std::uint8_t>& d, std::size_t at) {
  std::int32_t v;
  std::memcpy(&v, d.data() + at, sizeof v);
  return v;
}

void PutInt(std::vector<std::uint8_t>& d, std::size_t at, std::int32_t v) { std::memcpy(d.data() + at, &v, sizeof v); }

// "BC0741CF-56FD-4D6D-A356-DEE4A70BC0BE" as the 16 bytes a GUID has in memory.
bool ParseGuid(const std::string& text, std::uint8_t out[16]) {
  std::string hex;
  for (char c : text)
    if (c != '-') hex.push_back(c);
  if (hex.size() != 32) return false;
  std::uint8_t raw[16];
  for (int i = 0; i < 16; ++i) {
    unsigned v = 0;
    if (std::sscanf(hex.c_str() + 2 * i, "%2x", &v) != 1) return false;
    raw[i] = static_cast<std::uint8_t>(v);
  }
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out[i] = raw[order[i]];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: widl_repair IN.tlb LIBID OUT.tlb");
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::uint8_t libid[16];
  if (!ParseGuid(argv[2], libid)) return Fail(std::string("not a GUID: ") + argv[2]);
  if (d.size() < kHeaderSize || std::memcmp(d.data(), "MSFT", 4) != 0) return Fail("not an MSFT type library");

  const std::int32_t posguid = Int(d, 0x08);
  const std::int32_t varflags = Int(d, 0x14);
  const std::int32_t ntypes = Int(d, 0x20);
  const std::int32_t dispatchpos = Int(d, 0x4C);
  if (ntypes < 0 || ntypes > 0x10000) return Fail("bad type count");
  const std::size_t segdir = kHeaderSize + 4 * static_cast<std::size_t>(ntypes) + ((varflags & 0x100) ? 4 : 0);
  if (segdir + 15 * kSegmentEntry > d.size()) return Fail("segment directory past the end");
  const auto segment = [&](int n, std::size_t* offset, std::size_t* length) {
    const std::int32_t o = Int(d, segdir + n * kSegmentEntry);
    const std::int32_t l = Int(d, segdir + n * kSegmentEntry + 4);
    if (o == -1 && l == 0) return *offset = 0, *length = 0, true;  // absent
    if (o < 0 || l < 0 || static_cast<std::size_t>(o) + static_cast<std::size_t>(l) > d.size()) return false;
    *offset = static_cast<std::size_t>(o);
    *length = static_cast<std::size_t>(l);
    return true;
  };
  std::size_t impOff = 0, impLen = 0, guidOff = 0, guidLen = 0;
  if (!segment(1, &impOff, &impLen) || !segment(5, &guidOff, &guidLen)) return Fail("bad segment");
  if (posguid < 0 || static_cast<std::size_t>(posguid) + kGuidEntry > guidLen) return Fail("bad library GUID offset");

  int idispatch = -1;
  for (std::size_t g = 0; g + kGuidEntry <= guidLen; g += kGuidEntry)
    if (std::memcmp(d.data() + guidOff + g, kIDispatch, 16) == 0) idispatch = static_cast<int>(g);

  for (std::size_t i = 0; i + kImpInfoEntry <= impLen; i += kImpInfoEntry) {
    const std::size_t at = impOff + i;
    if ((Int(d, at) & kOffsetIsGuid) == 0 || Int(d, at + 8) != -1) continue;
    if (dispatchpos != static_cast<std::int32_t>(i + 1) || idispatch < 0 || posguid != 0) {
      return Fail("an import without a GUID that is not widl's second IDispatch");
    }
    PutInt(d, at + 8, idispatch);
    d[guidOff + 15] = libid[15];
  }
  if (std::memcmp(d.data() + guidOff + posguid, libid, 16) != 0) {
    return Fail(std::string("library identifier differs from ") + argv[2]);
  }
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
  return out ? 0 : Fail(std::string("cannot write ") + argv[3]);
}
