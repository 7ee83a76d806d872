// Conversions between UTF-16 (the platform's OLECHAR text) and the bytes the
// C library and the file system take (UTF-8). Header-only, so code that
// links only the platform headers can use it too.
//
// Byte strings round-trip: a byte that is not part of a valid UTF-8 sequence
// becomes a lone surrogate U+DC80..U+DCFF and turns back into that byte, so
// a file name that is not valid UTF-8 still names the same file after a
// trip through a BSTR, and two such names stay two names. Any other lone
// surrogate becomes U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillon {

inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

inline void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes one code point starting at text[i] and advances i. Sets *valid to
// false (and returns U+FFFD) for a malformed sequence, consuming one byte.
inline char32_t DecodeUtf8(std::string_view text, std::size_t& i, bool* valid) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  *valid = true;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  }
  if (len != 0 && i + len <= text.size()) {
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
      i += len;
      return cp;
    }
  }
  ++i;
  *valid = false;
  return 0xFFFD;
}

// The lone surrogate that carries a byte no UTF-8 sequence explains.
inline constexpr char16_t kEscapedByteBase = 0xDC00;
inline bool IsEscapedByte(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// `escapedBytes` false gives U+FFFD for every lone surrogate, as the
// system's own UTF-8 conversion does.
inline std::string Utf16ToUtf8(std::u16string_view text, bool escapedBytes = true) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (escapedBytes && IsEscapedByte(text[i])) {
      out.push_back(static_cast<char>(text[i] - kEscapedByteBase));
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// Never more UTF-16 units than UTF-8 bytes (a four-byte sequence gives two
// units, a malformed byte one escaped unit), so a buffer of text.size() units always
// holds the result. Writes it to out and returns the number of units;
// plain ASCII, what registry files, paths and member names mostly hold,
// takes the short way.
inline std::size_t Utf8ToUtf16(std::string_view text, char16_t* out) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size();) {
    // Eight ASCII bytes at a time while there are some.
    while (i + 8 <= text.size()) {
      unsigned char bytes[8];  // a copy: out cannot alias it
      std::memcpy(bytes, text.data() + i, sizeof bytes);
      std::uint64_t word;
      std::memcpy(&word, bytes, sizeof word);
      if ((word & 0x8080808080808080u) != 0) break;
      for (std::size_t k = 0; k < 8; ++k) out[n + k] = bytes[k];
      i += 8;
      n += 8;
    }
    if (i == text.size()) break;
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out[n++] = b;
      ++i;
      continue;
    }
    bool valid = true;
    char32_t cp = DecodeUtf8(text, i, &valid);
    if (!valid) {
      out[n++] = static_cast<char16_t>(kEscapedByteBase + b);
    } else if (cp < 0x10000) {
      out[n++] = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
  }
  return n;
}

// The same into a string, reusing its storage.
inline void Utf8ToUtf16(std::string_view text, std::u16string* out) {
  out->resize(text.size());
  out->resize(Utf8ToUtf16(text, out->data()));
}

inline std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  Utf8ToUtf16(text, &out);
  return out;
}

// Null-safe views of NUL-terminated UTF-16 text (a BSTR or a literal).
inline std::u16string_view View(const char16_t* text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}
inline std::string ToUtf8(const char16_t* text) { return Utf16ToUtf8(View(text)); }

}  // namespace quillon
