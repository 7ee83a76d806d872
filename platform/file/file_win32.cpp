// The file interface on Windows. Paths arrive as the byte strings the rest
// of the project uses (UTF-8, stray bytes carried as escaped surrogates) and
// are opened by their UTF-16 names; errors are told in errno numbers, as on
// the other systems, so callers read them the same way.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <map>
#include <random>

#include "quillon_file.h"
#include "quillon_text.h"

namespace quillon::file {
namespace {

std::wstring Wide(const std::string& path) {
  const std::u16string units = Utf8ToUtf16(path);
  return std::wstring(units.begin(), units.end());
}

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return EIO;
  }
}
int LastErrno() { return ErrnoOf(GetLastError()); }

std::int64_t Nanoseconds(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
}

bool StampOfHandle(HANDLE h, Stamp* stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  *stamp = {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
            Nanoseconds(info.ftLastWriteTime), static_cast<std::int64_t>(info.dwFileAttributes)};
  return true;
}

// ReplaceFile moves the replaced file out of the way before it moves the new
// one in, so while another writer replaces a file its name is missing for a
// moment. Opening an existing file waits that moment out (a tenth of a
// second at most) before it says the file is not there.
HANDLE OpenForReading(const std::wstring& path) {
  const ULONGLONG deadline = GetTickCount64() + 100;
  for (;;) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND || GetTickCount64() >= deadline) return h;
    Sleep(5);
  }
}

// A C runtime descriptor for a handle, so the class keeps its int members.
int DescriptorOf(HANDLE h, int flags) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return fd;
}
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

bool WriteAll(HANDLE h, std::string_view bytes, int* error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      *error = written == 0 && GetLastError() == ERROR_SUCCESS ? EIO : LastErrno();
      return false;
    }
    done += written;
  }
  return true;
}

// The absolute form of a path (ReplaceFile wants one).
std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  full.resize(written);
  return full;
}

// Files in memory stand for streams by a name of their own (by descriptor
// here); writing to that name writes into the file itself.
std::mutex g_memoryLock;
std::map<int, std::wstring> g_memoryFiles;
bool IsMemoryFile(const std::wstring& path) {
  const std::wstring full = FullPath(path);
  std::lock_guard<std::mutex> lock(g_memoryLock);
  for (const auto& [fd, name] : g_memoryFiles)
    if (CompareStringOrdinal(name.c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

WriteOutcome WriteInPlace(const std::wstring& path, std::string_view content) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {WriteStatus::kCannotCreate, LastErrno(), "open"};
  int error = 0;
  bool ok = true;
  if (GetFileType(h) == FILE_TYPE_DISK) ok = SetEndOfFile(h) != 0;  // a memory file is written anew
  ok = ok && WriteAll(h, content, &error);
  CloseHandle(h);
  return ok ? WriteOutcome{} : WriteOutcome{WriteStatus::kFailed, error ? error : LastErrno(), "write"};
}

std::wstring Folder(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::wstring RandomName(const std::wstring& folder) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::random_device random;
  wchar_t suffix[32];
  std::swprintf(suffix, 32, L"%08x%04x", random(), counter++ & 0xFFFFu);
  return folder + L"\\.quillon-" + suffix + L".tmp";
}

}  // namespace

bool StampOf(const std::string& path, Stamp* stamp) {
  const HANDLE h = OpenForReading(Wide(path));
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = StampOfHandle(h, stamp);
  CloseHandle(h);
  return ok;
}

// ---- Reader -------------------------------------------------------------------------

Reader::~Reader() {
  if (owned_ && fd_ >= 0) _close(fd_);
}

bool Reader::Examine(bool regularOnly) {
  const HANDLE h = HandleOf(fd_);
  regular_ = GetFileType(h) == FILE_TYPE_DISK;
  // Standard input redirected from a file may not tell its identity (under
  // Wine it does not); it is read all the same.
  if (regular_ && !StampOfHandle(h, &stamp_) && owned_) {
    error_ = LastErrno();
    return false;
  }
  if (regularOnly && !regular_) {
    error_ = kNotRegularFile;
    return false;
  }
  return true;
}

bool Reader::Open(const std::string& path, bool regularOnly) {
  const std::wstring name = Wide(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error_ = EISDIR;
    return false;
  }
  const HANDLE h = OpenForReading(name);
  owned_ = true;
  if (h == INVALID_HANDLE_VALUE) {
    error_ = LastErrno();
    return false;
  }
  fd_ = DescriptorOf(h, _O_RDONLY);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  return Examine(regularOnly);
}

bool Reader::OpenStandardInput() {
  fd_ = 0;
  owned_ = false;
  _setmode(fd_, _O_BINARY);  // the bytes as they are, CR LF included
  return Examine(false);
}

long Reader::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (ReadFile(HandleOf(fd_), buffer, want, &got, nullptr)) return static_cast<long>(got);
  if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) return 0;  // the writer is done
  error_ = LastErrno();
  return -1;
}

// ---- Replace ------------------------------------------------------------------------

// The new content goes to a file beside the target, is flushed to disk and
// then takes the target's place in one step: ReplaceFile keeps the replaced
// file's attributes and access rights, MoveFileEx names a new one. A kill in
// between leaves the old file and a ".quillon-*.tmp" beside it.
WriteOutcome Replace(const std::string& path, std::string_view content, unsigned /*newFileMode*/) {
  const std::wstring given = Wide(path);
  if (given.empty() || given.back() == L'\\' || given.back() == L'/') return {WriteStatus::kCannotCreate, ENOENT, "open"};
  const std::wstring target = FullPath(given);
  if (IsMemoryFile(target)) return WriteInPlace(target, content);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {WriteStatus::kCannotCreate, EISDIR, "open"};
    if (attributes & FILE_ATTRIBUTE_READONLY) return {WriteStatus::kCannotCreate, EACCES, "open"};
    const HANDLE probe = OpenForReading(target);
    if (probe != INVALID_HANDLE_VALUE) {
      const bool disk = GetFileType(probe) == FILE_TYPE_DISK;
      CloseHandle(probe);
      if (!disk) return WriteInPlace(target, content);  // a device or a pipe
    }
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return {WriteStatus::kCannotCreate, LastErrno(), "open"};
  }

  std::wstring temporary;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = RandomName(Folder(target));
    h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) return {WriteStatus::kCannotCreate, LastErrno(), "open"};
  int error = 0;
  const bool written = WriteAll(h, content, &error) && (FlushFileBuffers(h) || (error = LastErrno(), false));
  CloseHandle(h);
  if (!written) {
    DeleteFileW(temporary.c_str());
    return {WriteStatus::kFailed, error, "write"};
  }
  const bool replaced = exists ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                               : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  if (!replaced) {
    error = LastErrno();
    DeleteFileW(temporary.c_str());
    return {WriteStatus::kFailed, error, "replace"};
  }
  return {};
}

// ---- FileLock -----------------------------------------------------------------------

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  if (fd_ >= 0) _close(fd_);  // closing the handle drops the lock
  fd_ = -1;
}

bool FileLock::Acquire(const std::string& path, bool create) {
  Release();
  const std::wstring name = Wide(path);
  for (;;) {
    const HANDLE h = create ? CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : OpenForReading(name);
    if (h == INVALID_HANDLE_VALUE) {
      if (!create && GetLastError() == ERROR_FILE_NOT_FOUND) return true;
      error_ = LastErrno();
      return false;
    }
    Stamp locked;
    if (GetFileType(h) != FILE_TYPE_DISK || !StampOfHandle(h, &locked)) {
      CloseHandle(h);
      if (create) {
        error_ = kNotRegularFile;
        return false;
      }
      return true;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
      error_ = LastErrno();
      CloseHandle(h);
      return false;
    }
    // Still the file at that name? A writer may have put a new one there
    // while we waited.
    Stamp now;
    if (StampOf(path, &now) && now.device == locked.device && now.inode == locked.inode) {
      fd_ = DescriptorOf(h, _O_RDONLY);
      if (fd_ < 0) error_ = errno;
      return fd_ >= 0;
    }
    CloseHandle(h);
  }
}

// ---- MemoryFile ---------------------------------------------------------------------

// A temporary file that the system keeps in memory where it can and removes
// when the last handle closes.
MemoryFile::~MemoryFile() {
  if (fd_ < 0) return;
  std::lock_guard<std::mutex> lock(g_memoryLock);
  g_memoryFiles.erase(fd_);
  _close(fd_);
}

bool MemoryFile::Create(std::string_view content) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"qln", 0, name) == 0) {
    error_ = LastErrno();
    return false;
  }
  const HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = LastErrno();
    return false;
  }
  if (!WriteAll(h, content, &error_)) {
    CloseHandle(h);
    return false;
  }
  fd_ = DescriptorOf(h, _O_RDWR);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  std::lock_guard<std::mutex> lock(g_memoryLock);
  g_memoryFiles[fd_] = FullPath(name);
  return true;
}

std::string MemoryFile::Path() const {
  std::lock_guard<std::mutex> lock(g_memoryLock);
  const auto found = g_memoryFiles.find(fd_);
  if (found == g_memoryFiles.end()) return {};
  return Utf16ToUtf8(std::u16string(found->second.begin(), found->second.end()));
}

bool MemoryFile::ReadAll(std::string* text) {
  text->clear();
  const HANDLE h = HandleOf(fd_);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) {
    error_ = LastErrno();
    return false;
  }
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
      error_ = LastErrno();
      return false;
    }
    if (got == 0) return true;
    text->append(buffer, got);
  }
}

// ---- Trust --------------------------------------------------------------------------

// The files this question is asked about (the registry file of the stand-in
// runtime) do not exist on Windows, whose registry is the system's.
std::string TrustProblem(const std::string&, const char*) { return {}; }

}  // namespace quillon::file
