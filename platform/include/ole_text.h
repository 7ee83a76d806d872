// Text in the platform's wide characters and the byte strings that files,
// terminals and the C library take. OLECHAR is UTF-16 everywhere, but its
// type differs: char16_t here, wchar_t on Windows. Code that holds OLECHAR
// text uses these names, and builds against either platform's headers.
#pragma once

#include <wtypes.h>

#include <string>
#include <string_view>

#include "quillon_text.h"

namespace quillon {

using OleString = std::basic_string<OLECHAR>;
using OleStringView = std::basic_string_view<OLECHAR>;
static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR text is UTF-16");

// UTF-8; see quillon_text.h for the bytes that are not, and escapedBytes.
inline std::string ToBytes(OleStringView text, bool escapedBytes = true) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()), escapedBytes);
}
// Null-safe, for a NUL-terminated string (a BSTR or a literal).
inline std::string ToBytes(const OLECHAR* text) { return text ? ToBytes(OleStringView(text)) : std::string(); }

inline OleString ToOle(std::string_view bytes) {
  const std::u16string units = Utf8ToUtf16(bytes);
  return OleString(units.begin(), units.end());
}

}  // namespace quillon
