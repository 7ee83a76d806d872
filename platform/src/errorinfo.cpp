// Per-thread error information.
//
// CreateErrorInfo makes one object that answers both ICreateErrorInfo (to
// fill it) and IErrorInfo (to read it). Each thread has one slot; the slot
// lives in this library, so a component and its client share it.

#include <new>
#include <string>

#include "comobject.h"
#include "internal.h"

namespace quillon::platform {
namespace {

class ErrorInfo final : public ComObject<ErrorInfo, IErrorInfo, ICreateErrorInfo> {
 public:
  // IErrorInfo
  STDMETHODIMP GetGUID(GUID* pGUID) override {
    if (pGUID == nullptr) return E_INVALIDARG;
    *pGUID = guid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* out) override { return Give(source_, out); }
  STDMETHODIMP GetDescription(BSTR* out) override { return Give(description_, out); }
  STDMETHODIMP GetHelpFile(BSTR* out) override { return Give(helpFile_, out); }
  STDMETHODIMP GetHelpContext(DWORD* out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = helpContext_;
    return S_OK;
  }

  // ICreateErrorInfo
  STDMETHODIMP SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  STDMETHODIMP SetSource(LPOLESTR text) override { return Take(text, &source_); }
  STDMETHODIMP SetDescription(LPOLESTR text) override { return Take(text, &description_); }
  STDMETHODIMP SetHelpFile(LPOLESTR text) override { return Take(text, &helpFile_); }
  STDMETHODIMP SetHelpContext(DWORD context) override {
    helpContext_ = context;
    return S_OK;
  }

 private:
  struct Text {
    bool set = false;
    std::u16string value;
  };

  static HRESULT Give(const Text& text, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (!text.set) return S_OK;
    *out = AllocBstr(text.value);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Take(LPCOLESTR in, Text* text) {
    try {
      text->set = in != nullptr;
      text->value = View(in);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  friend ComObject;
  ~ErrorInfo() = default;

  GUID guid_ = GUID_NULL;
  Text source_;
  Text description_;
  Text helpFile_;
  DWORD helpContext_ = 0;
};

// Releases the held reference when the thread ends.
struct Slot {
  IErrorInfo* info = nullptr;
  ~Slot() {
    if (info != nullptr) {
      info->Release();
    }
  }
};
thread_local Slot tls_error_slot;

}  // namespace
}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) {
    return E_INVALIDARG;
  }
  auto* info = new (std::nothrow) ErrorInfo();
  *pperrinfo = info;
  return info ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG /*dwReserved*/, IErrorInfo* perrinfo) {
  if (perrinfo != nullptr) {
    perrinfo->AddRef();
  }
  IErrorInfo* old = tls_error_slot.info;
  tls_error_slot.info = perrinfo;
  if (old != nullptr) {
    old->Release();
  }
  return S_OK;
}

HRESULT GetErrorInfo(ULONG /*dwReserved*/, IErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) {
    return E_INVALIDARG;
  }
  *pperrinfo = tls_error_slot.info;
  tls_error_slot.info = nullptr;
  return *pperrinfo ? S_OK : S_FALSE;
}
