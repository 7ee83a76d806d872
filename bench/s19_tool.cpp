// s19_tool generate FILE   writes the large benchmark file
// s19_tool read FILE       reads FILE with the component's reader (exit 0 on success)
#include <cstdio>
#include <cstring>
#include <fstream>

#include "large_file.h"
#include "s19_reader.h"

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc != 3) {
    std::fprintf(stderr, "usage: s19_tool generate|read FILE\n");
    return 2;
  }
  if (std::strcmp(argv[1], "generate") == 0) {
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << bench::LargeS19Text(DefaultPreferences());
    return out ? 0 : 1;
  }
  if (std::strcmp(argv[1], "read") == 0) {
    PreferencesRecord record = DefaultPreferences();
    return ReadS19(argv[2], record) == S_OK ? 0 : 1;
  }
  return 2;
}
