// What this platform's registry offers besides the system's calls.
//
// A registration (DllRegisterServer, DllUnregisterServer) is many calls. To
// make it one change, a program brackets it with these two: in between, the
// registry file stays locked, so registrations from other processes wait
// instead of interleaving, and the changes of every thread of this process
// reach the file together, in one save at the end, so no reader ever sees a
// class half written. Calls nest; only the outermost end saves.
//
// BeginUpdate fails when the registry cannot be read or locked; EndUpdate
// returns the result of the save. On failure the thread's error information
// (GetErrorInfo) says what and where.
#pragma once

#include "winreg.h"

QUILLON_API LSTATUS QuillonRegistryBeginUpdate(void);
QUILLON_API LSTATUS QuillonRegistryEndUpdate(void);
