// The component's way of giving a caller a readable description of a
// failure beyond its status code.
#pragma once

#include <windows.h>

namespace quillon {

// Fills the calling thread's error information with `description` (text in
// the system's single-byte code page), the interface `iid`, and as source
// the ProgID that the registry holds for the Preferences class. Returns
// `status`, or DISP_E_EXCEPTION when `status` is 0. Cannot fail: steps that
// are not possible are skipped.
HRESULT ReportError(const char* description, REFIID iid, HRESULT status);

// The same for a description that is already wide text.
HRESULT ReportErrorText(const OLECHAR* description, REFIID iid, HRESULT status);

}  // namespace quillon
