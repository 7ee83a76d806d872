#include <filesystem>

#include "os.h"
#include "quillon_registry.h"

namespace quillon::cli {

std::vector<std::string> CommandWords(int argc, char** argv) { return {argv + 1, argv + argc}; }

std::string DefaultLibrary() {
  const std::string relative = "../" QUILLON_INSTALL_LIBDIR "/libQuillon.so";
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return relative;
  return (exe.parent_path() / relative).lexically_normal().string();
}

LONG BeginRegistration() { return QuillonRegistryBeginUpdate(); }
LONG EndRegistration() { return QuillonRegistryEndUpdate(); }

}  // namespace quillon::cli
