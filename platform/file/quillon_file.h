// What the configuration files and the registry need from the operating
// system, behind one narrow interface: reading a file or a stream with a
// bound, replacing a file so that nothing is ever lost, locking a file that
// is replaced by renaming, files that live only in memory, and whether a
// file can be trusted. file_posix.cpp implements it; nothing else in the
// project calls the system's file functions directly.
//
// Paths are byte strings as the system takes them (see quillon_text.h for
// how they travel through UTF-16 and back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::file {

// An error number of our own, for inputs refused because they are not
// regular files; ErrorText knows it.
inline constexpr int kNotRegularFile = -2;

// Tells one version of a file from another; a change of owner or mode
// counts too.
struct Stamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const Stamp&) const = default;
};

// False when the file does not exist or cannot be examined.
bool StampOf(const std::string& path, Stamp* stamp);

// ---- Reading ----------------------------------------------------------------

// An open input: a regular file, or a stream (a pipe, a FIFO, a terminal,
// another character device). Closed on destruction.
class Reader {
 public:
  Reader() = default;
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Opens `path`. A FIFO that no one writes reads as empty at once instead
  // of waiting for a writer; a directory fails (EISDIR). `regularOnly`
  // refuses everything but a regular file (kNotRegularFile).
  bool Open(const std::string& path, bool regularOnly);
  // Standard input, which stays open afterwards.
  bool OpenStandardInput();

  // Up to `size` bytes; 0 at the end of the input; -1 on a failure.
  long Read(char* buffer, std::size_t size);

  bool IsRegular() const { return regular_; }
  const Stamp& stamp() const { return stamp_; }
  // The system's error number of the last failure.
  int error() const { return error_; }
  void set_error(int error) { error_ = error; }

 private:
  bool Examine(bool regularOnly);

  int fd_ = -1;
  bool owned_ = false;
  bool regular_ = false;
  Stamp stamp_;
  int error_ = 0;
};

// Reads what is left of the input, refusing more than `limit` bytes
// (error EFBIG). False with reader.error() on a failure.
bool ReadAll(Reader& reader, std::size_t limit, std::string* text);

// ---- Replacing a file --------------------------------------------------------

enum class WriteStatus {
  kWritten,
  kCannotCreate,  // no file could be created or opened: missing folder, no right to write, read-only target
  kFailed,        // writing, flushing or renaming failed; error() tells why
};

struct WriteOutcome {
  WriteStatus status = WriteStatus::kWritten;
  int error = 0;
  const char* step = "";  // what failed: "write", "replace", ...
};

// Writes `content` to `path` so that no one ever sees a partial file and a
// failure or a kill leaves the old file as it was:
// - A regular file (or a new one) is replaced atomically: the content goes
//   to an unnamed file in the target's folder (a named temporary file where
//   the file system has no unnamed ones), is flushed to disk and is then
//   renamed over the target. A replaced file keeps its permissions; a new
//   one gets `newFileMode` less the umask. A read-only target is refused.
// - Symbolic links are written through; the links stay.
// - A link to an open descriptor (/dev/stdout, /proc/self/fd/N) and a
//   target that is not a regular file (a terminal, a pipe, /dev/null) are
//   written in place, never renamed over; a regular file behind such a
//   link is appended to, as the shell's own redirection would. A FIFO that
//   no one reads fails at once.
WriteOutcome Replace(const std::string& path, std::string_view content, unsigned newFileMode);

// ---- Locks ---------------------------------------------------------------------

// An exclusive lock on the file a path names, held until destruction. Files
// are replaced by renaming a new one over them, so a lock on the old file
// would protect nothing: after each wait the lock checks that the path still
// names the file it locked, and otherwise locks the new one.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits for the lock. `create` makes a missing file (empty, mode 0600) so
  // there is one to lock; without it a missing file, or one that is not a
  // regular file, is not locked and Acquire still succeeds (held() false).
  // False with error() on a failure.
  bool Acquire(const std::string& path, bool create);
  void Release();
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// ---- Files in memory -------------------------------------------------------------

// A file that lives only in memory and goes with this object. Path() names
// it for anyone in this process, so it can stand for a stream: standard
// input read once, or standard output written by code that only takes paths.
class MemoryFile {
 public:
  MemoryFile() = default;
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool Create(std::string_view content);
  std::string Path() const;
  bool ReadAll(std::string* text);
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// ---- Trust -----------------------------------------------------------------------

// Empty when only this user (or the system's administrator) can change the
// file at `path` (which need not exist yet): the file, when there is one, and
// every folder above it and above the file a link leads to. Otherwise a
// sentence that names the file or folder, what is wrong and how to fix it.
// `what` names the file for the reader ("registry file").
std::string TrustProblem(const std::string& path, const char* what);

// The system's text for an error number.
std::string ErrorText(int error);

}  // namespace quillon::file
