// What the command-line client needs from the system besides files (which
// quillon_file.h gives): os_posix.cpp here, one such file per system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillon::cli {

// The command's words without the program's name, as byte strings (UTF-8,
// and on Windows from the command line's UTF-16 form, not the ANSI one).
// Also sets standard input and output to carry bytes unchanged.
std::vector<std::string> CommandWords(int argc, char** argv);

// The component installed beside this program (../lib/libQuillon.so, the
// same in the build tree and in an installation; Quillon.dll in the same
// folder on Windows).
std::string DefaultLibrary();

// Brackets a registration, so that it reaches the registry as one change:
// other registrations wait, and no reader sees the class half written.
// Win32 error codes; on failure the thread's error information says why.
LONG BeginRegistration();
LONG EndRegistration();

}  // namespace quillon::cli
