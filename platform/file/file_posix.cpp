// The file interface on POSIX systems (Linux: O_TMPFILE, memfd, /proc).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "quillon_file.h"

namespace quillon::file {
namespace {

Stamp StampFrom(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
          static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

// Opens without waiting: a FIFO opened for reading without a writer, or for
// writing without a reader, would otherwise block. The descriptor blocks
// again afterwards, so reads and writes wait for data as usual.
int OpenNow(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool WriteAll(int fd, std::string_view bytes, int* error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string Folder(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// A link inside /proc (/proc/self/fd/1, and /dev/stdout, which leads
// there) stands for an open descriptor: its target may be a pipe with no
// name, or a file the shell opened for appending.
bool IsDescriptorLink(const struct stat& link) {
  static const dev_t procDevice = [] {
    struct stat st;
    return ::lstat("/proc/self", &st) == 0 ? st.st_dev : static_cast<dev_t>(-1);
  }();
  return link.st_dev == procDevice;
}

// Follows a chain of symbolic links to the file that is really written, so
// that the links survive the rename; a relative link counts from the folder
// that holds it. Stops at a descriptor link and sets *descriptor.
bool ResolveLinks(std::string& path, bool* descriptor) {
  *descriptor = false;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (IsDescriptorLink(st)) {
      *descriptor = true;
      return true;
    }
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return false;
    target.resize(static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : Folder(path) + "/" + target;
  }
  return false;  // a loop of links
}

// Writes into the file itself: for streams and devices, and for what a
// descriptor link leads to.
WriteOutcome WriteInPlace(const std::string& path, std::string_view content) {
  struct stat st;
  const bool regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  const int fd = OpenNow(path.c_str(), O_WRONLY | (regular ? O_APPEND : 0));
  if (fd < 0) return {WriteStatus::kCannotCreate, errno, "open"};
  int error = 0;
  bool ok = WriteAll(fd, content, &error);
  // Terminals and pipes cannot be flushed to disk (EINVAL); that is fine.
  if (ok && regular && ::fsync(fd) != 0 && errno != EINVAL) {
    error = errno;
    ok = false;
  }
  if (::close(fd) != 0 && ok && errno != EINTR) {
    error = errno;
    ok = false;
  }
  return ok ? WriteOutcome{} : WriteOutcome{WriteStatus::kFailed, error, "write"};
}

std::string RandomName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%08x%04x", random(), counter++ & 0xFFFFu);
  return folder + "/.quillon-" + suffix + ".tmp";
}

// A new file beside the target. Unnamed where the file system allows it, so
// that a kill before the rename leaves nothing behind; `name` stays empty
// then, and the file is locked until it is closed (see NameUnnamed). The
// mode lets the umask decide, as for any newly created file.
int CreateTemporary(const std::string& folder, unsigned mode, std::string& name) {
  name.clear();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0) {
    ::flock(fd, LOCK_EX);  // new: never waits
    return fd;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomName(folder);
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool Link(int fd, const std::string& name) {
  // By descriptor needs a privilege; the path under /proc does not.
  if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// The name an unnamed file gets for the instant before it is renamed over
// `target`. It is the same for every writer of the target, so a name that a
// killed writer left behind is found, and removed, by the next one.
std::string NameFor(const std::string& target) {
  const std::filesystem::path p(target);
  std::string name = "." + p.filename().string() + ".quillon-tmp";
  if (name.size() > 255) return RandomName(Folder(target));
  return (p.parent_path().empty() ? std::string(".") : p.parent_path().string()) + "/" + name;
}

// Removes `name` if the writer that made it is gone. A live writer holds
// its file's lock from before naming it until after renaming it away.
void RemoveIfAbandoned(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat locked, now;
  if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &locked) == 0 && ::lstat(name.c_str(), &now) == 0 &&
      locked.st_dev == now.st_dev && locked.st_ino == now.st_ino) {
    ::unlink(name.c_str());
  }
  ::close(fd);
}

bool NameUnnamed(int fd, const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = NameFor(target);
    if (Link(fd, name)) return true;
    if (errno != EEXIST) return false;
    RemoveIfAbandoned(name);
  }
  return false;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Who else can change what is at `path`; empty when no one.
std::string Intruder(const std::string& path, const struct stat& st, const char* what, bool folder) {
  const uid_t me = ::geteuid();
  if (st.st_uid != me && st.st_uid != 0) {
    return std::string(folder ? "folder " : "") + Quoted(path) + " (holding the " + what + ") belongs to user " +
           std::to_string(st.st_uid) + ", not to you (user " + std::to_string(me) +
           "); use a " + what + " of your own";
  }
  // A folder with the sticky bit (/tmp) lets others add files but not
  // replace or remove ours.
  if ((st.st_mode & 022) != 0 && !(folder && (st.st_mode & S_ISVTX) != 0)) {
    return std::string(folder ? "folder " : "") + Quoted(path) + (folder ? " (holding the " + std::string(what) + ")" : "") +
           " can be written by others (mode " + ModeText(st.st_mode) + "), so anyone could choose the code it loads; fix it with: chmod go-w " +
           Quoted(path);
  }
  return {};
}

std::string FolderProblems(std::filesystem::path folder, const char* what) {
  for (;;) {
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
      if (std::string p = Intruder(folder.string(), st, what, true); !p.empty()) return p;
    }
    if (!folder.has_relative_path()) return {};
    folder = folder.parent_path();
  }
}

}  // namespace

bool StampOf(const std::string& path, Stamp* stamp) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  *stamp = StampFrom(st);
  return true;
}

// ---- Reader -------------------------------------------------------------------------

Reader::~Reader() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

bool Reader::Examine(bool regularOnly) {
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    error_ = errno;
    return false;
  }
  regular_ = S_ISREG(st.st_mode);
  stamp_ = StampFrom(st);
  if (S_ISDIR(st.st_mode)) error_ = EISDIR;
  else if (regularOnly && !regular_) error_ = kNotRegularFile;
  else return true;
  return false;
}

bool Reader::Open(const std::string& path, bool regularOnly) {
  fd_ = OpenNow(path.c_str(), O_RDONLY);
  owned_ = true;
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  return Examine(regularOnly);
}

bool Reader::OpenStandardInput() {
  fd_ = STDIN_FILENO;
  owned_ = false;
  return Examine(false);
}

long Reader::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    error_ = errno;
    return -1;
  }
}

// ---- Replace ------------------------------------------------------------------------

WriteOutcome Replace(const std::string& path, std::string_view content, unsigned newFileMode) {
  std::string target = path;
  bool descriptor = false;
  if (target.empty() || target.back() == '/' || !ResolveLinks(target, &descriptor)) {
    return {WriteStatus::kCannotCreate, ENOENT, "open"};
  }
  if (descriptor) return WriteInPlace(target, content);

  struct stat existing;
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return {WriteStatus::kCannotCreate, EISDIR, "open"};
    if (!S_ISREG(existing.st_mode)) return WriteInPlace(target, content);
    // A read-only file is refused even for a user (root) whom the system
    // would let write it.
    if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
      return {WriteStatus::kCannotCreate, EACCES, "open"};
    }
  } else if (errno != ENOENT) {
    return {WriteStatus::kCannotCreate, errno, "open"};
  }

  const std::string folder = Folder(target);
  std::string name;
  const int fd = CreateTemporary(folder, newFileMode, name);
  if (fd < 0) return {WriteStatus::kCannotCreate, errno, "open"};

  auto fail = [&](const char* step, int error) {
    ::close(fd);
    if (!name.empty()) ::unlink(name.c_str());
    return WriteOutcome{WriteStatus::kFailed, error, step};
  };
  if (exists) {
    // Keeps the owner where the system allows it (it does for root only);
    // before the mode, because a change of owner clears set-id bits.
    [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    if (::fchmod(fd, existing.st_mode & 07777) != 0) return fail("set the permissions of", errno);
  }
  int error = 0;
  if (!WriteAll(fd, content, &error)) return fail("write", error);
  if (::fsync(fd) != 0) return fail("write", errno);
  // Naming the unnamed file and renaming it follow each other at once: the
  // name is all a kill can leave behind, and only between these two calls.
  if (name.empty() && !NameUnnamed(fd, target, name)) {
    error = errno;
    name.clear();
    return fail("write", error);
  }
  if (::rename(name.c_str(), target.c_str()) != 0) return fail("replace", errno);
  ::close(fd);  // the content is on disk already (fsync above)
  SyncFolder(folder);  // makes the rename itself durable
  return {};
}

// ---- FileLock -----------------------------------------------------------------------

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

bool FileLock::Acquire(const std::string& path, bool create) {
  Release();
  for (;;) {
    const int fd = OpenNow(path.c_str(), O_RDONLY | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
      if (!create && errno == ENOENT) return true;
      error_ = errno;
      return false;
    }
    struct stat locked;
    if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
      ::close(fd);
      if (create) {
        error_ = kNotRegularFile;
        return false;
      }
      return true;
    }
    int result;
    while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
      error_ = errno;
      ::close(fd);
      return false;
    }
    // Still the file at that name? A writer may have renamed a new one over
    // it while we waited.
    struct stat now;
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino) {
      fd_ = fd;
      return true;
    }
    ::close(fd);
  }
}

// ---- MemoryFile ---------------------------------------------------------------------

MemoryFile::~MemoryFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool MemoryFile::Create(std::string_view content) {
  fd_ = ::memfd_create("quillon", MFD_CLOEXEC);
  if (fd_ < 0 || !WriteAll(fd_, content, &error_)) {
    if (fd_ < 0) error_ = errno;
    return false;
  }
  return true;
}

std::string MemoryFile::Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

bool MemoryFile::ReadAll(std::string* text) {
  text->clear();
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
}

// ---- Trust --------------------------------------------------------------------------

std::string TrustProblem(const std::string& path, const char* what) {
  std::error_code ec;
  const std::filesystem::path given = std::filesystem::absolute(path, ec);
  if (ec) return {};
  struct stat st;
  if (::stat(given.c_str(), &st) == 0) {
    if (std::string p = Intruder(path, st, what, false); !p.empty()) return p;
  }
  // The folders the name passes through, and those of the file a link
  // leads to: whoever can write either can put another file in its place.
  if (std::string p = FolderProblems(given.parent_path(), what); !p.empty()) return p;
  const std::filesystem::path real = std::filesystem::weakly_canonical(given, ec);
  if (!ec && real != given) return FolderProblems(real.parent_path(), what);
  return {};
}

}  // namespace quillon::file
