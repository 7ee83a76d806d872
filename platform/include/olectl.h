// Control-related declarations: OLE_COLOR and the self-registration codes.
#pragma once

#include "ocidl.h"

#define SELFREG_E_TYPELIB QUILLON_HR(0x80040200u)
#define SELFREG_E_CLASS QUILLON_HR(0x80040201u)
