// Helpers shared by the platform's source files; not installed.
#pragma once

#include <string>
#include <string_view>

#include "quillon_text.h"
#include "windows.h"

namespace quillon::platform {

// A new BSTR holding text; null when out of memory.
BSTR AllocBstr(std::u16string_view text);

// Text in the single-byte code page (Windows-1252) as UTF-16.
std::u16string FromAnsi(std::string_view text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::u16string GuidToString(const GUID& guid);
// Accepts exactly that form (either case). False for anything else.
bool ParseGuid(std::u16string_view text, GUID* guid);

// Writes text plus a line feed to the debug output.
void DebugLine(const std::string& text);

// ASCII case folding, for key, value and member names.
char16_t FoldAscii(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Registry shortcuts over paths below a root: read a string value (empty
// name: the default value), write one (creating keys), check for a key.
LONG ReadRegString(HKEY root, std::u16string_view path, std::u16string_view name,
                   std::u16string* value);
LONG WriteRegString(HKEY root, std::u16string_view path, std::u16string_view name,
                    std::u16string_view value);

// dlsym limited to symbols the library itself defines (dlsym on a handle
// searches the library's dependencies too).
void* OwnSymbol(void* dlHandle, const char* name);

}  // namespace quillon::platform
