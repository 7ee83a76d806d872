// The parts of the file interface that are the same on every system.
#include <cerrno>
#include <cstring>

#include "quillon_file.h"

namespace quillon::file {

bool ReadAll(Reader& reader, std::size_t limit, std::string* text) {
  text->clear();
  char buffer[65536];
  for (;;) {
    const long n = reader.Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    if (text->size() + static_cast<std::size_t>(n) > limit) {
      reader.set_error(EFBIG);
      return false;
    }
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

std::string ErrorText(int error) {
  if (error == kNotRegularFile) return "not a regular file";
  return std::strerror(error);
}

}  // namespace quillon::file
