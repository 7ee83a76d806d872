#include "s19_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace quillon {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, std::uint8_t value) {
  out.push_back(kHexDigits[value >> 4]);
  out.push_back(kHexDigits[value & 0x0F]);
}

WriteResult CannotCreate() { return {DISP_E_EXCEPTION, kFileNotFound}; }

WriteResult SystemFailure(const char* what, const std::string& path, int error) {
  return {DISP_E_EXCEPTION, std::string(what) + " '" + path + "': " + std::strerror(error)};
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows a chain of symbolic links to the file that is really written, so
// that the link itself survives the rename. A relative link is resolved
// against the folder that holds it.
bool ResolveLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return false;
    target.resize(static_cast<std::size_t>(n));
    if (target.empty()) return false;
    path = target.front() == '/' ? target : ParentFolder(path) + "/" + target;
  }
  return false;  // a loop of links
}

bool WriteAll(int fd, const std::string& bytes, int& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Opens a new file beside the target with a name no one else uses. The mode
// 0666 lets the umask decide, as for any newly created file.
int CreateTemporary(const std::string& folder, std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%08x%04x", random(), counter++ & 0xFFFFu);
    name = folder + "/.quillon-" + suffix + ".tmp";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

void WriteDataRecord(std::string& out, std::uint16_t address, const std::uint8_t (&data)[kDataBytesPerRecord]) {
  out += "S22400";
  const auto high = static_cast<std::uint8_t>(address >> 8);
  const auto low = static_cast<std::uint8_t>(address & 0xFF);
  AppendHexByte(out, high);
  AppendHexByte(out, low);
  unsigned sum = 0x24u + high + low;
  for (std::uint8_t b : data) {
    sum += b;
    AppendHexByte(out, b);
  }
  AppendHexByte(out, static_cast<std::uint8_t>(~sum & 0xFF));
  out += "\r\n";
}

std::string FormatS19(const PreferencesRecord& record) {
  RecordBytes image;
  ConvertByteOrder(record, image);
  const auto checksum = ImageChecksum(image);

  std::uint8_t stream[kStreamLength];
  stream[0] = checksum[0];
  stream[1] = checksum[1];
  std::memcpy(stream + 2, image.data(), kRecordSize);

  std::string out;
  out.reserve(246);
  auto address = static_cast<std::uint16_t>(kImageAddress);
  for (std::size_t pos = 0; pos < kStreamLength; pos += kDataBytesPerRecord) {
    std::uint8_t buffer[kDataBytesPerRecord] = {};  // the last record is filled with zeros
    const std::size_t n = std::min(kDataBytesPerRecord, kStreamLength - pos);
    std::memcpy(buffer, stream + pos, n);
    WriteDataRecord(out, address, buffer);
    address = static_cast<std::uint16_t>(address + kDataBytesPerRecord);
  }
  out += kEndLine;
  out += "\r\n";
  return out;
}

WriteResult WriteS19(const std::string& path, const PreferencesRecord& record) {
  std::string target = path;
  if (target.empty() || target.back() == '/' || !ResolveLinks(target)) return CannotCreate();

  struct stat existing;
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (exists) {
    // Only a regular file is ever replaced; a read-only one is refused even
    // for a user (root) whom the system would let write it.
    if (!S_ISREG(existing.st_mode)) return CannotCreate();
    if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return CannotCreate();
  } else if (errno != ENOENT) {
    return CannotCreate();
  }

  std::string temporary;
  const int fd = CreateTemporary(ParentFolder(target), temporary);
  if (fd < 0) return CannotCreate();

  auto fail = [&](const char* what, int error) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return SystemFailure(what, path, error);
  };

  if (exists) {
    // Keeps the owner where the system allows it (it does for root only);
    // before the mode, because a change of owner clears set-id bits.
    [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    if (::fchmod(fd, existing.st_mode & 07777) != 0) return fail("Cannot set the permissions of", errno);
  }

  int error = 0;
  if (!WriteAll(fd, FormatS19(record), error)) return fail("Cannot write", error);
  if (::fsync(fd) != 0) return fail("Cannot write", errno);
  if (::close(fd) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return SystemFailure("Cannot write", path, error);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return SystemFailure("Cannot replace", path, error);
  }
  return {};
}

}  // namespace quillon
