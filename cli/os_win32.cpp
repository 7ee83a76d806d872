#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "os.h"
#include "quillon_text.h"

namespace quillon::cli {
namespace {

std::string Bytes(const wchar_t* text) {
  const std::wstring_view wide(text);
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace

std::vector<std::string> CommandWords(int, char**) {
  // Text mode would turn the files' CR LF into CR CR LF, and "\n" in what
  // the program prints into CR LF: the bytes go through as on Linux.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(Bytes(words[i]));
  LocalFree(words);
  return args;
}

std::string DefaultLibrary() {
  wchar_t path[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return "Quillon.dll";
  std::wstring folder(path, n);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return Bytes((folder + L"Quillon.dll").c_str());
}

// The system's registry applies each key's change as a whole; there is no
// file to lock around a registration.
LONG BeginRegistration() { return ERROR_SUCCESS; }
LONG EndRegistration() { return ERROR_SUCCESS; }

}  // namespace quillon::cli
