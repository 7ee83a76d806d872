// VARIANT lifetime and conversions.
//
// Text meets numbers through std::from_chars and std::to_chars, which do not
// look at the process locale: "1.5" reads the same under any LC_NUMERIC.
// The text forms are those the automation library uses for the English
// (United States) locale.

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "internal.h"

namespace quillon::platform {
namespace {

// A source value reduced to one of a few kinds.
struct Scalar {
  enum Kind { kEmpty, kSigned, kUnsigned, kDouble, kBool, kText } kind = kEmpty;
  long long s = 0;
  unsigned long long u = 0;
  double d = 0;
  bool single = false;  // kDouble from a VT_R4: printed to 7 digits
  bool b = false;
  std::u16string text;
};

HRESULT ToScalar(const VARIANT& v, Scalar* out) {
  const VARTYPE vt = v.vt;
  const bool ref = (vt & VT_BYREF) != 0;
  if (ref && v.byref == nullptr) return E_INVALIDARG;
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY: out->kind = Scalar::kEmpty; return ref ? DISP_E_BADVARTYPE : S_OK;
    case VT_I1: out->kind = Scalar::kSigned; out->s = ref ? *v.pcVal : v.cVal; return S_OK;
    case VT_I2: out->kind = Scalar::kSigned; out->s = ref ? *v.piVal : v.iVal; return S_OK;
    case VT_I4: out->kind = Scalar::kSigned; out->s = ref ? *v.plVal : v.lVal; return S_OK;
    case VT_INT: out->kind = Scalar::kSigned; out->s = ref ? *v.pintVal : v.intVal; return S_OK;
    case VT_I8: out->kind = Scalar::kSigned; out->s = ref ? *v.pllVal : v.llVal; return S_OK;
    case VT_UI1: out->kind = Scalar::kUnsigned; out->u = ref ? *v.pbVal : v.bVal; return S_OK;
    case VT_UI2: out->kind = Scalar::kUnsigned; out->u = ref ? *v.puiVal : v.uiVal; return S_OK;
    case VT_UI4: out->kind = Scalar::kUnsigned; out->u = ref ? *v.pulVal : v.ulVal; return S_OK;
    case VT_UINT: out->kind = Scalar::kUnsigned; out->u = ref ? *v.puintVal : v.uintVal; return S_OK;
    case VT_UI8:
      out->kind = Scalar::kUnsigned;
      out->u = ref ? *static_cast<ULONGLONG*>(v.byref) : v.ullVal;
      return S_OK;
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

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string_view Trim(std::u16string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

// "&H1F" / "&O17": the digits as an unsigned bit pattern (see ToInteger).
HRESULT ParseRadix(std::u16string_view t, Scalar* out) {
  const unsigned base = (t[1] == u'H' || t[1] == u'h') ? 16 : 8;
  t.remove_prefix(2);
  if (t.empty()) return DISP_E_TYPEMISMATCH;
  std::string ascii;
  for (char16_t c : t) {
    if (c > 0x7F) return DISP_E_TYPEMISMATCH;
    ascii.push_back(static_cast<char>(c));
  }
  unsigned long long value = 0;
  const auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, static_cast<int>(base));
  if (r.ptr != ascii.data() + ascii.size()) return DISP_E_TYPEMISMATCH;
  if (r.ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  out->kind = Scalar::kUnsigned;
  out->u = value;
  return S_OK;
}

// Text to a number: blanks around it; a sign before or after it, or
// parentheses for a negative number; digits, "," between digits of the
// whole part, "." before the fraction, an exponent; or hexadecimal/octal.
HRESULT ParseNumber(std::u16string_view t, Scalar* out) {
  t = Trim(t);
  if (t.size() >= 2 && t[0] == u'&' && (t[1] == u'H' || t[1] == u'h' || t[1] == u'O' || t[1] == u'o')) {
    return ParseRadix(t, out);
  }
  bool negative = false;
  int signs = 0;
  if (t.size() >= 2 && t.front() == u'(' && t.back() == u')') {
    negative = true, ++signs;
    t = Trim(t.substr(1, t.size() - 2));
  }
  if (!t.empty() && (t.front() == u'+' || t.front() == u'-')) {
    negative = negative != (t.front() == u'-'), ++signs;
    t = Trim(t.substr(1));
  }
  if (!t.empty() && (t.back() == u'+' || t.back() == u'-')) {
    negative = negative != (t.back() == u'-'), ++signs;
    t = Trim(t.substr(0, t.size() - 1));
  }
  if (signs > 1 || t.empty()) return DISP_E_TYPEMISMATCH;

  std::string whole, fraction, exponent;
  std::size_t i = 0;
  while (i < t.size() && (IsDigit(t[i]) || (t[i] == u',' && !whole.empty()))) {
    if (t[i] != u',') whole.push_back(static_cast<char>(t[i]));
    ++i;
  }
  if (i < t.size() && t[i] == u'.') {
    for (++i; i < t.size() && IsDigit(t[i]); ++i) fraction.push_back(static_cast<char>(t[i]));
  }
  if (whole.empty() && fraction.empty()) return DISP_E_TYPEMISMATCH;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) exponent.push_back(static_cast<char>(t[i++]));
    const std::size_t digits = exponent.size();
    while (i < t.size() && IsDigit(t[i])) exponent.push_back(static_cast<char>(t[i++]));
    if (exponent.size() == digits) return DISP_E_TYPEMISMATCH;
  }
  if (i != t.size()) return DISP_E_TYPEMISMATCH;

  if (fraction.empty() && exponent.empty()) {
    // Whole numbers exactly, beyond a double's 53 bits.
    unsigned long long value = 0;
    const auto r = std::from_chars(whole.data(), whole.data() + whole.size(), value);
    if (r.ec == std::errc() && (!negative || value <= (1ULL << 63))) {
      if (negative) {
        out->kind = Scalar::kSigned;
        out->s = value == (1ULL << 63) ? std::numeric_limits<long long>::min() : -static_cast<long long>(value);
      } else {
        out->kind = Scalar::kUnsigned;
        out->u = value;
      }
      return S_OK;
    }
  }
  const std::string number = (whole.empty() ? "0" : whole) + (fraction.empty() ? "" : "." + fraction) +
                             (exponent.empty() ? "" : "e" + exponent);
  double d = 0;
  const auto r = std::from_chars(number.data(), number.data() + number.size(), d);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large overflows; too small is zero. The decimal exponent of the
    // first significant digit tells which.
    long long e = 0;
    const auto er = std::from_chars(exponent.data() + (!exponent.empty() && exponent[0] == '+'),
                                    exponent.data() + exponent.size(), e);
    if (er.ec == std::errc::result_out_of_range) e = exponent[0] == '-' ? -(1LL << 40) : (1LL << 40);
    const std::size_t lead = whole.find_first_not_of('0');
    const long long magnitude = lead != std::string::npos
                                    ? e + static_cast<long long>(whole.size() - lead)
                                    : e - static_cast<long long>(fraction.find_first_not_of('0'));
    if (magnitude > 0) return DISP_E_OVERFLOW;
    d = 0;
  } else if (r.ec != std::errc()) {
    return DISP_E_TYPEMISMATCH;
  }
  out->kind = Scalar::kDouble;
  out->d = negative ? -d : d;
  return S_OK;
}

// Integer of `bits` width, signed or not. Doubles round to nearest, halves
// to even. Hexadecimal/octal text is a bit pattern: "&HFFFF" is -1 as I2.
HRESULT ToInteger(Scalar v, int bits, bool isSigned, long long* out) {
  const long long smin = isSigned ? -(1LL << (bits - 1)) : 0;
  const unsigned long long umax = isSigned ? (1ULL << (bits - 1)) - 1
                                           : (bits == 64 ? ~0ULL : (1ULL << bits) - 1);
  if (v.kind == Scalar::kText) {
    const std::u16string_view t = Trim(v.text);
    const bool radix = t.size() >= 2 && t[0] == u'&';
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
    if (radix && isSigned && bits < 64 && v.u < (1ULL << bits) && v.u > umax) {
      *out = static_cast<long long>(v.u) - (1LL << bits);  // raw bits, sign bit set
      return S_OK;
    }
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = 0; return S_OK;
    case Scalar::kBool: v.s = v.b ? -1 : 0; [[fallthrough]];
    case Scalar::kSigned:
      if (v.s < smin || (v.s > 0 && static_cast<unsigned long long>(v.s) > umax)) return DISP_E_OVERFLOW;
      *out = v.s;
      return S_OK;
    case Scalar::kUnsigned:
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
    case Scalar::kText: break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ToDouble(Scalar v, double* out) {
  if (v.kind == Scalar::kText) {
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = 0; return S_OK;
    case Scalar::kBool: *out = v.b ? -1.0 : 0.0; return S_OK;
    case Scalar::kSigned: *out = static_cast<double>(v.s); return S_OK;
    case Scalar::kUnsigned: *out = static_cast<double>(v.u); return S_OK;
    case Scalar::kDouble: *out = v.d; return S_OK;
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
      // 15 significant digits (7 for a single), "1E+20" for large ones.
      r = std::to_chars(buf, buf + sizeof buf, v.d, std::chars_format::general, v.single ? 7 : 15);
      for (char* p = buf; p != r.ptr; ++p)
        if (*p == 'e') *p = 'E';
      break;
  }
  if (r.ec != std::errc()) return E_UNEXPECTED;
  out->assign(buf, r.ptr);
  return S_OK;
}

HRESULT ToBool(Scalar v, bool* out) {
  if (v.kind == Scalar::kText) {
    const std::u16string_view t = Trim(v.text);
    if (EqualsNoCase(t, u"True")) return *out = true, S_OK;
    if (EqualsNoCase(t, u"False")) return *out = false, S_OK;
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
  }
  switch (v.kind) {
    case Scalar::kEmpty: *out = false; return S_OK;
    case Scalar::kBool: *out = v.b; return S_OK;
    case Scalar::kSigned: *out = v.s != 0; return S_OK;
    case Scalar::kUnsigned: *out = v.u != 0; return S_OK;
    case Scalar::kDouble: *out = v.d != 0; return S_OK;
    case Scalar::kText: break;
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
