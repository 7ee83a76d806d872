// VARIANT lifetime and conversions.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    case VT_R4: out->kind = Scalar::kDouble; out->d = ref ? *v.pfltVal : v.fltVal; return S_OK;
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

// Text to a number: blanks around it, a sign, decimal digits with an
// optional fraction and exponent; or "&H" hexadecimal / "&O" octal, which
// give the raw bits (see ToInteger).
HRESULT ParseNumber(std::u16string_view t, Scalar* out) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  if (t.empty()) return DISP_E_TYPEMISMATCH;
  if (t.size() >= 2 && t[0] == u'&' && (t[1] == u'H' || t[1] == u'h' || t[1] == u'O' || t[1] == u'o')) {
    const unsigned base = (t[1] == u'H' || t[1] == u'h') ? 16 : 8;
    t.remove_prefix(2);
    if (t.empty()) return DISP_E_TYPEMISMATCH;
    unsigned long long value = 0;
    for (char16_t c : t) {
      unsigned digit;
      if (c >= u'0' && c <= u'9') digit = c - u'0';
      else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
      else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
      else return DISP_E_TYPEMISMATCH;
      if (digit >= base) return DISP_E_TYPEMISMATCH;
      if (value > (std::numeric_limits<unsigned long long>::max() - digit) / base) return DISP_E_OVERFLOW;
      value = value * base + digit;
    }
    out->kind = Scalar::kUnsigned;
    out->u = value;
    return S_OK;
  }
  // Validate the shape first; strtod alone would also take "inf", "0x1p3".
  std::string ascii;
  std::size_t i = 0;
  if (t[i] == u'+' || t[i] == u'-') ascii.push_back(static_cast<char>(t[i++]));
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ascii.push_back(static_cast<char>(t[i++])), ++digits;
  if (i < t.size() && t[i] == u'.') {
    ascii.push_back(static_cast<char>(t[i++]));
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ascii.push_back(static_cast<char>(t[i++])), ++digits;
  }
  if (digits == 0) return DISP_E_TYPEMISMATCH;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    ascii.push_back('e');
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
    std::size_t expDigits = 0;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ascii.push_back(static_cast<char>(t[i++])), ++expDigits;
    if (expDigits == 0) return DISP_E_TYPEMISMATCH;
  }
  if (i != t.size()) return DISP_E_TYPEMISMATCH;
  errno = 0;
  const double d = std::strtod(ascii.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(d)) return DISP_E_OVERFLOW;
  out->kind = Scalar::kDouble;
  out->d = d;
  return S_OK;
}

// Integer of `bits` width, signed or not. Doubles round to nearest, halves
// to even. Hexadecimal/octal text is a bit pattern: "&HFFFF" is -1 as I2.
HRESULT ToInteger(Scalar v, int bits, bool isSigned, long long* out) {
  const long long smin = isSigned ? -(1LL << (bits - 1)) : 0;
  const unsigned long long umax = isSigned ? (1ULL << (bits - 1)) - 1
                                           : (bits == 64 ? ~0ULL : (1ULL << bits) - 1);
  if (v.kind == Scalar::kText) {
    if (HRESULT hr = ParseNumber(v.text, &v); FAILED(hr)) return hr;
    if (v.kind == Scalar::kUnsigned && isSigned && bits < 64 && v.u < (1ULL << bits) &&
        v.u > umax) {
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
    case Scalar::kSigned: std::snprintf(buf, sizeof buf, "%lld", v.s); break;
    case Scalar::kUnsigned: std::snprintf(buf, sizeof buf, "%llu", v.u); break;
    case Scalar::kDouble: std::snprintf(buf, sizeof buf, "%.15G", v.d); break;
  }
  *out = Utf8ToUtf16(buf);
  return S_OK;
}

HRESULT ToBool(Scalar v, bool* out) {
  if (v.kind == Scalar::kText) {
    std::u16string_view t = v.text;
    while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
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

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  VARIANT copy = *pvargSrc;
  switch (pvargSrc->vt) {
    case VT_BSTR:
      if (pvargSrc->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                             SysStringByteLen(pvargSrc->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
      }
      break;
    case VT_UNKNOWN: if (copy.punkVal) copy.punkVal->AddRef(); break;
    case VT_DISPATCH: if (copy.pdispVal) copy.pdispVal->AddRef(); break;
    default: break;
  }
  VariantClear(pvargDest);
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (pvarSrc->vt == vt) return VariantCopy(pvargDest, pvarSrc);
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
    case VT_UI8:
      if (value.kind == Scalar::kUnsigned) {
        result.ullVal = value.u;
      } else if (SUCCEEDED(hr = ToInteger(value, 64, true, &n))) {
        if (n < 0) hr = DISP_E_OVERFLOW;
        result.ullVal = static_cast<ULONGLONG>(n);
      }
      break;
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
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID /*lcid*/,
                            USHORT wFlags, VARTYPE vt) {
  return VariantChangeType(pvargDest, pvarSrc, wFlags, vt);
}
