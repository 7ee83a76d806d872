// Length-prefixed strings, task memory, identifiers as text, code pages
// and the debug output.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "internal.h"

namespace quillon::platform {
namespace {

// The BSTR block: a 4-byte byte count, the characters, a NUL character.
// Returns null when the sizes overflow or memory runs out.
BSTR AllocBlock(std::size_t byteLen) {
  if (byteLen > std::numeric_limits<std::uint32_t>::max() - sizeof(std::uint32_t) -
                    sizeof(OLECHAR) - 1) {
    return nullptr;
  }
  // One spare byte so an odd byte length still leaves room for a whole NUL.
  const std::size_t total = sizeof(std::uint32_t) + byteLen + sizeof(OLECHAR) + 1;
  auto* block = static_cast<unsigned char*>(std::malloc(total));
  if (block == nullptr) {
    return nullptr;
  }
  const auto len32 = static_cast<std::uint32_t>(byteLen);
  std::memcpy(block, &len32, sizeof len32);
  std::memset(block + sizeof len32 + byteLen, 0, sizeof(OLECHAR) + 1);
  return reinterpret_cast<BSTR>(block + sizeof len32);
}

unsigned char* BlockOf(BSTR bstr) {
  return reinterpret_cast<unsigned char*>(bstr) - sizeof(std::uint32_t);
}

const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnicode(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// -1 when the character has no Windows-1252 byte.
int UnicodeToCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return c;
  }
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == c) {
      return 0x80 + i;
    }
  }
  return -1;
}

bool IsAcp(UINT cp) { return cp == CP_ACP || cp == CP_1252; }

// Why a conversion failed is not kept: nothing reads it.
int Fail(DWORD /*error*/) { return 0; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

BSTR AllocBstr(std::u16string_view text) {
  if (text.size() > std::numeric_limits<UINT>::max()) {
    return nullptr;
  }
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::u16string FromAnsi(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = Cp1252ToUnicode(static_cast<unsigned char>(text[i]));
  return out;
}

std::u16string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return std::u16string(buf, buf + 38);
}

bool ParseGuid(std::u16string_view t, GUID* guid) {
  if (t.size() != 38 || t[0] != u'{' || t[37] != u'}' || t[9] != u'-' || t[14] != u'-' ||
      t[19] != u'-' || t[24] != u'-') {
    return false;
  }
  auto hex = [&](std::size_t pos, int digits, std::uint64_t* out) {
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
      const int d = HexDigit(t[pos + i]);
      if (d < 0) return false;
      v = (v << 4) | static_cast<unsigned>(d);
    }
    *out = v;
    return true;
  };
  std::uint64_t d1, d2, d3, b;
  GUID g{};
  if (!hex(1, 8, &d1) || !hex(10, 4, &d2) || !hex(15, 4, &d3)) return false;
  g.Data1 = static_cast<std::uint32_t>(d1);
  g.Data2 = static_cast<std::uint16_t>(d2);
  g.Data3 = static_cast<std::uint16_t>(d3);
  const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hex(bytePos[i], 2, &b)) return false;
    g.Data4[i] = static_cast<std::uint8_t>(b);
  }
  *guid = g;
  return true;
}

void DebugLine(const std::string& text) {
  std::string line = text;
  line.push_back('\n');
  OutputDebugStringA(line.c_str());
}

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

// ---- BSTR -------------------------------------------------------------------

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) {
    return nullptr;
  }
  return AllocBstr(std::u16string_view(psz));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
  BSTR bstr = AllocBlock(static_cast<std::size_t>(cch) * sizeof(OLECHAR));
  if (bstr == nullptr) {
    return nullptr;
  }
  if (pch != nullptr) {
    std::memcpy(bstr, pch, static_cast<std::size_t>(cch) * sizeof(OLECHAR));
  } else {
    std::memset(bstr, 0, static_cast<std::size_t>(cch) * sizeof(OLECHAR));
  }
  return bstr;
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) {
    std::free(BlockOf(bstrString));
  }
}

UINT SysStringLen(BSTR pbstr) {
  if (pbstr == nullptr) {
    return 0;
  }
  std::uint32_t len;
  std::memcpy(&len, BlockOf(pbstr), sizeof len);
  return len / sizeof(OLECHAR);
}

// ---- Task memory ------------------------------------------------------------

// Task memory is the C heap.
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

// ---- Identifiers as text ------------------------------------------------------

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < 39) {
    return 0;
  }
  const std::u16string text = GuidToString(rguid);
  std::memcpy(lpsz, text.c_str(), 39 * sizeof(OLECHAR));
  return 39;
}

// ---- Debug output ------------------------------------------------------------------

void OutputDebugStringA(LPCSTR lpOutputString) {
  const char* enabled = std::getenv("QUILLON_DEBUG_OUTPUT");
  if (enabled == nullptr || enabled[0] == '\0' || lpOutputString == nullptr) {
    return;
  }
  std::fputs(lpOutputString, stderr);
  std::fflush(stderr);
}

// ---- Code pages ---------------------------------------------------------------

int MultiByteToWideChar(UINT CodePage, DWORD /*dwFlags*/, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t inLen =
      cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
  const std::string_view in(lpMultiByteStr, inLen);
  std::u16string out;
  if (IsAcp(CodePage)) {
    out.reserve(in.size());
    for (char c : in) {
      out.push_back(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (out.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const int needed = static_cast<int>(out.size());
  if (cchWideChar == 0) {
    return needed;
  }
  if (needed > cchWideChar) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
  return needed;
}

int WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t inLen = cchWideChar == -1 ? std::u16string_view(lpWideCharStr).size() + 1
                                              : static_cast<std::size_t>(cchWideChar);
  const std::u16string_view in(lpWideCharStr, inLen);
  std::string out;
  BOOL usedDefault = FALSE;
  if (IsAcp(CodePage)) {
    const char fallback = lpDefaultChar ? *lpDefaultChar : '?';
    out.reserve(in.size());
    for (char16_t c : in) {
      const int b = UnicodeToCp1252(c);
      if (b < 0) {
        usedDefault = TRUE;
        out.push_back(fallback);
      } else {
        out.push_back(static_cast<char>(b));
      }
    }
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (out.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const int needed = static_cast<int>(out.size());
  if (cbMultiByte != 0) {
    if (needed > cbMultiByte) {
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
  }
  if (lpUsedDefaultChar != nullptr) {
    *lpUsedDefaultChar = usedDefault;
  }
  return needed;
}
