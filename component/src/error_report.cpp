#include "error_report.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <vector>

#include "Quillon.h"

namespace quillon {

HRESULT ReportError(const char* description, REFIID iid, HRESULT status) {
  const int length = static_cast<int>(std::strlen(description));
  std::vector<OLECHAR> wide(static_cast<std::size_t>(length) + 1, OLESTR('\0'));
  MultiByteToWideChar(CP_ACP, 0, description, length, wide.data(), length);
  return ReportErrorText(wide.data(), iid, status);
}

HRESULT ReportErrorText(const OLECHAR* description, REFIID iid, HRESULT status) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create)) && create != nullptr) {
    create->SetGUID(iid);
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(CLSID_Preferences, &progId)) && progId != nullptr) {
      create->SetSource(progId);
      CoTaskMemFree(progId);
    }
    create->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info != nullptr) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return status == 0 ? DISP_E_EXCEPTION : status;
}

}  // namespace quillon
