// VARIANT lifetime and conversions.
//
// Text meets numbers through std::from_chars and std::to_chars, which do not
// look at the process locale: "1.5" reads the same under any LC_NUMERIC.
// The text forms are those the automation library uses for the English
// (United States) locale.

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "internal.h"

namespace quillon::platform {
namespace {

// A number given as text: the value is digits x 10^exponent (digits without
// leading or trailing zeros; none for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// A source value reduced to one of a few kinds. Integers remember their
// width, because a signed and an unsigned integer of the same width convert
// into each other bit for bit.
struct Scalar {
  enum Kind { kEmpty, kSigned, kUnsigned, kDouble, kBool, kText, kDecimal } kind = kEmpty;
  long long s = 0;
  unsigned long long u = 0;
  int bits = 0;
  double d = 0;
  bool single = false;  // kDouble from a VT_R4: printed to 7 digits
  bool b = false;
  std::u16string text;
  Decimal number;
};

HRESULT Signed(long long value, int bits, Scalar* out) {
  out->kind = Scalar::kSigned;
  out->s = value;
  out->bits = bits;
  return S_OK;
}
HRESULT Unsigned(unsigned long long value, int bits, Scalar* out) {
  out->kind = Scalar::kUnsigned;
  out->u = value;
  out->bits = bits;
  return S_OK;
}

HRESULT ToScalar(const VARIANT& v, Scalar* out) {
  const VARTYPE vt = v.vt;
  const bool ref = (vt & VT_BYREF) != 0;
  if (ref && v.byref == nullptr) return E_INVALIDARG;
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY: out->kind = Scalar::kEmpty; return ref ? DISP_E_BADVARTYPE : S_OK;
    case VT_I1: return Signed(ref ? *v.pcVal : v.cVal, 8, out);
    case VT_I2: return Signed(ref ? *v.piVal : v.iVal, 16, out);
    case VT_I4: return Signed(ref ? *v.plVal : v.lVal, 32, out);
    case VT_INT: return Signed(ref ? *v.pintVal : v.intVal, 32, out);
    case VT_I8: return Signed(ref ? *v.pllVal : v.llVal, 64, out);
    case VT_UI1: return Unsigned(ref ? *v.pbVal : v.bVal, 8, out);
    case VT_UI2: return Unsigned(ref ? *v.puiVal : v.uiVal, 16, out);
    case VT_UI4: return Unsigned(ref ? *v.pulVal : v.ulVal, 32, out);
    case VT_UINT: return Unsigned(ref ? *v.puintVal : v.uintVal, 32, out);
    case VT_UI8: return Unsigned(ref ? *static_cast<ULONGLONG*>(v.byref) : v.ullVal, 64, out);
    case VT_R4:
      out->kind = Scalar::kDouble;
      out->single = true;
      out->d = ref ? *v.pfltVal : v.fltVal;
      return S_OK;
    case VT_R8: out->kind = Scalar::kDouble; out->d = ref ? *v.pdblVal : v.dblVal; return S_OK;
    case VT_BOOL:
      out->kind = Scalar::kBool;
      out->b = (ref ? *v.pboolVal : v.boolVal) != VARIANT_FALSE;
      return S_OK;
    case VT_BSTR: {
      BSTR b = ref ? *v.pbstrVal : v.bstrVal;
      out->kind = Scalar::kText;
      out->text.assign(b ? b : u"", SysStringLen(b));
      return S_OK;
    }
    case VT_VARIANT:
      if (!ref) return DISP_E_BADVARTYPE;
      if (v.pvarVal->vt == (VT_VARIANT | VT_BYREF)) return DISP_E_BADVARTYPE;
      return ToScalar(*v.pvarVal, out);
    case VT_NULL:
    case VT_ERROR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return DISP_E_TYPEMISMATCH;
    default:
      return DISP_E_BADVARTYPE;
  }
}

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
int HexValue(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Text to a number, with the number format of U.S. English as the
// automation library reads it: blanks, signs (leading or trailing, "(5)"
// negative), a "$" before or after, "," between digits (ignored), one ".",
// an exponent; or "&H" hexadecimal / "&O" octal, which give a bit pattern
// (kUnsigned of 64 bits; a sign in front of them is ignored).
HRESULT ParseNumber(std::u16string_view t, Scalar* out) {
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < t.size() ? t[k] : u'\0'; };
  Decimal d;
  bool leadingPlus = false, leadingMinus = false, currency = false, parens = false, point = false;
  bool zero = false;  // a zero was skipped, so "0" alone is a number
  const auto skipZerosAfterPoint = [&] {
    while (d.digits.empty() && at(i) == u'0') ++i, --d.exponent, zero = true;
  };
  for (;;) {
    const char16_t c = at(i);
    if (c == u'.') {
      point = true;
      ++i;
      skipZerosAfterPoint();
      break;
    }
    if (IsBlank(c)) {
      ++i;
    } else if (c == u',') {
      return DISP_E_TYPEMISMATCH;  // no separator before the first digit
    } else if (c == u'+' && !leadingPlus) {
      leadingPlus = true, ++i;
    } else if (c == u'-' && !leadingMinus) {
      leadingMinus = d.negative = true, ++i;
    } else if (c == u'$' && !currency) {
      currency = true, ++i;
    } else if (c == u'(' && !parens) {
      parens = true, ++i;
    } else {
      break;
    }
  }
  unsigned base = 10;
  if (!currency && !point && at(i) == u'&') {
    const char16_t kind = at(i + 1);
    if (kind == u'H' || kind == u'h') base = 16;
    if (kind == u'O' || kind == u'o') base = 8;
    if (base != 10) i += 2;
  }
  while (at(i) == u'0') ++i, zero = true;
  unsigned long long bitsValue = 0;
  bool bitsOverflow = false;
  bool exponent = false, inExponent = false, negativeExponent = false;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i];
    const int value = HexValue(c);
    if (inExponent && IsDigit(c)) {
      long long e = 0;
      while (IsDigit(at(i))) e = std::min<long long>(e * 10 + (t[i++] - u'0'), 100000);
      d.exponent += static_cast<int>(negativeExponent ? -e : e);
      inExponent = false;
      --i;
    } else if (base != 10 && value >= 0 && static_cast<unsigned>(value) < base) {
      if (bitsValue > (~0ULL >> (base == 16 ? 4 : 3))) bitsOverflow = true;
      bitsValue = bitsValue * base + static_cast<unsigned>(value);
      d.digits.push_back('1');  // only counted
    } else if (base == 10 && IsDigit(c) && !inExponent) {
      d.digits.push_back(static_cast<char>(c));
      if (point) --d.exponent;
    } else if (base == 10 && c == u',') {
      // thousands separator, anywhere among the digits
    } else if (base == 10 && c == u'.' && !point && !exponent) {
      point = true;
      ++i;
      skipZerosAfterPoint();
      --i;
    } else if (base == 10 && (c == u'e' || c == u'E') && !currency && !exponent) {
      exponent = inExponent = true;
    } else if (inExponent && (c == u'+' || c == u'-')) {
      if (c == u'-') negativeExponent = true;
    } else {
      break;
    }
  }
  if (inExponent) return DISP_E_TYPEMISMATCH;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (c == u',' && base == 10) continue;
    if (IsBlank(c)) continue;
    if (c == u'+' && !leadingPlus) continue;
    if (c == u'-' && !leadingMinus) {
      d.negative = true;
      continue;
    }
    if (c == u')' && parens) {
      d.negative = true;
      continue;
    }
    if (c == u'$' && base == 10) continue;
    break;
  }
  if (parens && !d.negative) return DISP_E_TYPEMISMATCH;
  if (i != t.size() || (d.digits.empty() && !zero)) return DISP_E_TYPEMISMATCH;
  if (base != 10) {
    if (bitsOverflow) return DISP_E_OVERFLOW;
    return Unsigned(bitsValue, 64, out);
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back(), ++d.exponent;
  const auto first = d.digits.find_first_not_of('0');
  d.digits.erase(0, first == std::string::npos ? d.digits.size() : first);
  out->kind = Scalar::kDecimal;
  out->number = std::move(d);
  return S_OK;
}

// The integer nearest to a decimal number, halves to the even neighbour,
// as a magnitude; false when it has more than 20 digits.
bool RoundDecimal(const Decimal& d, unsigned long long* magnitude, bool* overflow) {
  const long long length = static_cast<long long>(d.digits.size());
  const long long whole = length + d.exponent;  // digits before the point
  *overflow = false;
  if (whole > 20) return *overflow = true, false;
  unsigned long long value = 0;
  for (long long k = 0; k < whole; ++k) {
    const unsigned digit = k < length ? static_cast<unsigned>(d.digits[static_cast<std::size_t>(k)] - '0') : 0;
    if (value > (~0ULL - digit) / 10) return *overflow = true, false;
    value = value * 10 + digit;
  }
  if (whole < length) {
    // The first dropped digit decides; a 5 with nothing after it (trailing
    // zeros are gone) is a half.
    const long long next = std::max<long long>(whole, 0);
    const char first = whole < 0 ? '0' : d.digits[static_cast<std::size_t>(next)];
    const bool more = whole < 0 || next + 1 < length;
    if (first > '5' || (first == '5' && (more || (value & 1) != 0))) {
      if (value == ~0ULL) return *overflow = true, false;
      ++value;
    }
  }
  *magnitude = value;
  return true;
}

// Integer of `bits` width, signed or not. Numbers round to the nearest
// integer, halves to even. A signed and an unsigned integer of the same
// width, and True (-1), give their bits; so does hexadecimal/octal text of
// at most the target's width ("&HFFFF" is -1 as I2).
HRESULT ToInteger(Scalar v, int bits, bool isSigned, long long* out) {
  const long long smin = isSigned ? -(1LL << (bits - 1)) : 0;
  const unsigned long long umax = isSigned ? (1ULL << (bits - 1)) - 1
                                           : (bits == 64 ? ~0ULL : (1ULL << bits) - 1);
  const unsigned long long mask = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
  const auto bitsOf = [&](unsigned long long pattern) {
    pattern &= mask;
    if (isSigned && bits < 64 && pattern > umax) return static_cast<long long>(pattern) - (1LL << bits);
    return static_cast<long long>(pattern);
  };
  if (v.kind == Scalar::kText) {
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
    if (v.kind == Scalar::kUnsigned) {
      if (bits < 64 && v.u > mask) return DISP_E_OVERFLOW;
      *out = bitsOf(v.u);
      return S_OK;
    }
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = 0; return S_OK;
    case Scalar::kBool: *out = v.b ? bitsOf(~0ULL) : 0; return S_OK;
    case Scalar::kSigned:
      if (v.bits == bits && !isSigned) return *out = bitsOf(static_cast<unsigned long long>(v.s)), S_OK;
      if (v.s < smin || (v.s > 0 && static_cast<unsigned long long>(v.s) > umax)) return DISP_E_OVERFLOW;
      *out = v.s;
      return S_OK;
    case Scalar::kUnsigned:
      if (v.bits == bits && isSigned) return *out = bitsOf(v.u), S_OK;
      if (v.u > umax) return DISP_E_OVERFLOW;
      *out = static_cast<long long>(v.u);
      return S_OK;
    case Scalar::kDouble: {
      if (!std::isfinite(v.d)) return DISP_E_OVERFLOW;
      const double r = std::nearbyint(v.d);
      if (r < static_cast<double>(smin) || r >= std::ldexp(1.0, isSigned ? bits - 1 : bits)) {
        return DISP_E_OVERFLOW;
      }
      *out = static_cast<long long>(r);
      return S_OK;
    }
    case Scalar::kDecimal: {
      unsigned long long magnitude = 0;
      bool overflow = false;
      if (!RoundDecimal(v.number, &magnitude, &overflow)) return DISP_E_OVERFLOW;
      if (v.number.negative && magnitude != 0) {
        if (!isSigned || magnitude > static_cast<unsigned long long>(-(smin + 1)) + 1) return DISP_E_OVERFLOW;
        *out = magnitude == static_cast<unsigned long long>(-(smin + 1)) + 1 ? smin
                                                                             : -static_cast<long long>(magnitude);
        return S_OK;
      }
      if (magnitude > umax) return DISP_E_OVERFLOW;
      *out = static_cast<long long>(magnitude);
      return S_OK;
    }
    case Scalar::kText: break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ToDouble(Scalar v, double* out) {
  if (v.kind == Scalar::kText) {
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
    // A bit pattern reads as a 64-bit signed number, so the upper half
    // does not fit.
    if (v.kind == Scalar::kUnsigned && v.u > static_cast<unsigned long long>(LLONG_MAX)) return DISP_E_OVERFLOW;
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = 0; return S_OK;
    case Scalar::kBool: *out = v.b ? -1.0 : 0.0; return S_OK;
    case Scalar::kSigned: *out = static_cast<double>(v.s); return S_OK;
    case Scalar::kUnsigned: *out = static_cast<double>(v.u); return S_OK;
    case Scalar::kDouble: *out = v.d; return S_OK;
    case Scalar::kDecimal: {
      // from_chars rounds the exact decimal value correctly, whatever the
      // process locale; beyond the smallest double the value is zero.
      if (v.number.digits.empty()) return *out = v.number.negative ? -0.0 : 0.0, S_OK;
      const std::string text = v.number.digits + "e" + std::to_string(v.number.exponent);
      double value = 0;
      const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
      if (r.ec == std::errc::result_out_of_range) {
        if (v.number.exponent > 0) return DISP_E_OVERFLOW;
        value = 0;
      } else if (r.ec != std::errc()) {
        return DISP_E_TYPEMISMATCH;
      }
      *out = v.number.negative ? -value : value;
      return S_OK;
    }
    case Scalar::kText: break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ToText(const Scalar& v, USHORT flags, std::u16string* out) {
  char buf[64];
  std::to_chars_result r{buf, std::errc()};
  switch (v.kind) {
    case Scalar::kEmpty: out->clear(); return S_OK;
    case Scalar::kText: *out = v.text; return S_OK;
    case Scalar::kBool:
      if (flags & VARIANT_ALPHABOOL) {
        *out = v.b ? u"True" : u"False";
      } else {
        *out = v.b ? u"-1" : u"0";
      }
      return S_OK;
    case Scalar::kSigned: r = std::to_chars(buf, buf + sizeof buf, v.s); break;
    case Scalar::kUnsigned: r = std::to_chars(buf, buf + sizeof buf, v.u); break;
    case Scalar::kDouble:
      // 15 significant digits (7 for a single), "1E+20" for large ones; a
      // negative zero is "0".
      r = std::to_chars(buf, buf + sizeof buf, v.d == 0 ? 0.0 : v.d, std::chars_format::general, v.single ? 7 : 15);
      for (char* p = buf; p != r.ptr; ++p)
        if (*p == 'e') *p = 'E';
      break;
    case Scalar::kDecimal: return DISP_E_TYPEMISMATCH;  // only made from text, never converted back
  }
  if (r.ec != std::errc()) return E_UNEXPECTED;
  out->assign(buf, r.ptr);
  return S_OK;
}

// "True" and "False" in any case, "#TRUE#" and "#FALSE#", or a number (not
// zero is True). Nothing around the words.
HRESULT ToBool(Scalar v, bool* out) {
  if (v.kind == Scalar::kText) {
    if (EqualsNoCase(v.text, u"True") || v.text == u"#TRUE#") return *out = true, S_OK;
    if (EqualsNoCase(v.text, u"False") || v.text == u"#FALSE#") return *out = false, S_OK;
    double d = 0;
    if (HRESULT hr = ToDouble(v, &d); FAILED(hr)) return hr;
    return *out = d != 0, S_OK;
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = false; return S_OK;
    case Scalar::kBool: *out = v.b; return S_OK;
    case Scalar::kSigned: *out = v.s != 0; return S_OK;
    case Scalar::kUnsigned: *out = v.u != 0; return S_OK;
    case Scalar::kDouble: *out = v.d != 0; return S_OK;
    case Scalar::kText:
    case Scalar::kDecimal: break;
  }
  return DISP_E_TYPEMISMATCH;
}

// A copy that owns its own string or reference.
HRESULT Copy(VARIANTARG* dest, const VARIANTARG* src) {
  if (dest == src) return S_OK;
  VARIANT copy = *src;
  switch (src->vt) {
    case VT_BSTR:
      if (src->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
      }
      break;
    case VT_UNKNOWN: if (copy.punkVal) copy.punkVal->AddRef(); break;
    case VT_DISPATCH: if (copy.pdispVal) copy.pdispVal->AddRef(); break;
    default: break;
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

}  // namespace
}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg != nullptr) {
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
  }
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  switch (pvarg->vt) {
    case VT_BSTR: SysFreeString(pvarg->bstrVal); break;
    case VT_UNKNOWN: if (pvarg->punkVal) pvarg->punkVal->Release(); break;
    case VT_DISPATCH: if (pvarg->pdispVal) pvarg->pdispVal->Release(); break;
    default: break;
  }
  pvarg->vt = VT_EMPTY;
  pvarg->llVal = 0;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  try {
    if (pvarSrc->vt == vt) return Copy(pvargDest, pvarSrc);
    Scalar value;
    if (HRESULT hr = ToScalar(*pvarSrc, &value); FAILED(hr)) return hr;
    VARIANT result;
    VariantInit(&result);
    long long n = 0;
    HRESULT hr = S_OK;
    switch (vt) {
      case VT_EMPTY: break;
      case VT_I1: if (SUCCEEDED(hr = ToInteger(value, 8, true, &n))) result.cVal = static_cast<CHAR>(n); break;
      case VT_I2: if (SUCCEEDED(hr = ToInteger(value, 16, true, &n))) result.iVal = static_cast<SHORT>(n); break;
      case VT_I4: if (SUCCEEDED(hr = ToInteger(value, 32, true, &n))) result.lVal = static_cast<LONG>(n); break;
      case VT_INT: if (SUCCEEDED(hr = ToInteger(value, 32, true, &n))) result.intVal = static_cast<INT>(n); break;
      case VT_I8: if (SUCCEEDED(hr = ToInteger(value, 64, true, &n))) result.llVal = n; break;
      case VT_UI1: if (SUCCEEDED(hr = ToInteger(value, 8, false, &n))) result.bVal = static_cast<BYTE>(n); break;
      case VT_UI2: if (SUCCEEDED(hr = ToInteger(value, 16, false, &n))) result.uiVal = static_cast<USHORT>(n); break;
      case VT_UI4: if (SUCCEEDED(hr = ToInteger(value, 32, false, &n))) result.ulVal = static_cast<ULONG>(n); break;
      case VT_UINT: if (SUCCEEDED(hr = ToInteger(value, 32, false, &n))) result.uintVal = static_cast<UINT>(n); break;
      case VT_UI8: if (SUCCEEDED(hr = ToInteger(value, 64, false, &n))) result.ullVal = static_cast<ULONGLONG>(n); break;
      case VT_R8: hr = ToDouble(value, &result.dblVal); break;
      case VT_R4: {
        double d = 0;
        if (SUCCEEDED(hr = ToDouble(value, &d))) {
          if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) hr = DISP_E_OVERFLOW;
          result.fltVal = static_cast<float>(d);
        }
        break;
      }
      case VT_BOOL: {
        bool b = false;
        if (SUCCEEDED(hr = ToBool(value, &b))) result.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      }
      case VT_BSTR: {
        std::u16string text;
        if (SUCCEEDED(hr = ToText(value, wFlags, &text))) {
          result.bstrVal = AllocBstr(text);
          if (result.bstrVal == nullptr) hr = E_OUTOFMEMORY;
        }
        break;
      }
      default:
        return DISP_E_BADVARTYPE;
    }
    if (FAILED(hr)) return hr;
    result.vt = vt;
    VariantClear(pvargDest);
    *pvargDest = result;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
