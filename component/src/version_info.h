// The library's version texts: the Windows version resource (Quillon.rc)
// and DllGetVersionText (version.cpp) both take them from here. Plain
// preprocessor definitions, so the resource compiler reads them too.
#pragma once

#define QUILLON_VERSION_NUMBERS 1, 0, 0, 4
#define QUILLON_VERSION_TEXT "1, 0, 0, 4"
#define QUILLON_DESCRIPTION "Quillon Module"
#define QUILLON_INTERNAL_NAME "Quillon"
#define QUILLON_ORIGINAL_FILENAME "Quillon.DLL"
