// The S-record writer: exact output, and files that are never left half
// written.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "preferences_record.h"
#include "default_file.h"
#include "s19_writer.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using testing::CountEntries;
using testing::kDefaultFile;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(FormatS19, DefaultRecordGivesTheFourDocumentedLines) {
  const std::string text = FormatS19(DefaultPreferences());
  EXPECT_EQ(text, kDefaultFile);
  EXPECT_EQ(text.size(), 246u);
}

TEST(WriteS19, WritesTheFileAndReplacesALongerOne) {
  TempDir dir;
  const std::string path = dir.File("a.S19");
  WriteFileBytes(path, std::string(5000, 'x'));
  const WriteResult result = WriteS19(path, DefaultPreferences());
  ASSERT_EQ(result.status, S_OK) << result.description;
  EXPECT_EQ(ReadFileBytes(path), kDefaultFile);
  ASSERT_EQ(WriteS19(path, DefaultPreferences()).status, S_OK);
  EXPECT_EQ(ReadFileBytes(path), kDefaultFile);
  EXPECT_EQ(CountEntries(dir.path()), 1) << "temporary file left behind";
}

TEST(WriteS19, FilesThatCannotBeCreatedReportFileNotFound) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  for (const std::string& path : {dir.File("missing/a.S19"), dir.File("sub"), dir.File("sub/"), std::string()}) {
    const WriteResult result = WriteS19(path, DefaultPreferences());
    EXPECT_EQ(result.status, DISP_E_EXCEPTION) << path;
    EXPECT_EQ(result.description, "File not found!") << path;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_EQ(CountEntries(dir.File("sub")), 0);
}

TEST(WriteS19, ReadOnlyTargetIsRefusedAndKept) {
  TempDir dir;
  const std::string path = dir.File("ro.S19");
  WriteFileBytes(path, "old");
  ::chmod(path.c_str(), 0444);
  const WriteResult result = WriteS19(path, DefaultPreferences());
  EXPECT_EQ(result.status, DISP_E_EXCEPTION);
  EXPECT_EQ(result.description, "File not found!");
  EXPECT_EQ(ReadFileBytes(path), "old");
}

TEST(WriteS19, ReplacedFileKeepsItsPermissionsAndNewOnesFollowTheUmask) {
  TempDir dir;
  const std::string path = dir.File("perm.S19");
  WriteFileBytes(path, "old");
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(WriteS19(path, DefaultPreferences()).status, S_OK);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  const mode_t previous = ::umask(027);
  const WriteResult result = WriteS19(dir.File("new.S19"), DefaultPreferences());
  ::umask(previous);
  ASSERT_EQ(result.status, S_OK);
  ASSERT_EQ(::stat(dir.File("new.S19").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(WriteS19, SymbolicLinkIsWrittenThrough) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.File("real/t.S19");
  WriteFileBytes(target, "old");
  std::filesystem::create_symlink("real/t.S19", dir.File("link.S19"));
  std::filesystem::create_symlink("link.S19", dir.File("link2.S19"));
  ASSERT_EQ(WriteS19(dir.File("link2.S19"), DefaultPreferences()).status, S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.S19")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link2.S19")));
  EXPECT_EQ(ReadFileBytes(target), kDefaultFile);
  // A dangling link creates its target.
  std::filesystem::create_symlink("real/new.S19", dir.File("dangling.S19"));
  ASSERT_EQ(WriteS19(dir.File("dangling.S19"), DefaultPreferences()).status, S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.S19")));
  EXPECT_EQ(ReadFileBytes(dir.File("real/new.S19")), kDefaultFile);
  // A loop fails.
  std::filesystem::create_symlink("b", dir.File("a"));
  std::filesystem::create_symlink("a", dir.File("b"));
  EXPECT_EQ(WriteS19(dir.File("a"), DefaultPreferences()).status, DISP_E_EXCEPTION);
}

// A file size limit makes the write itself fail, as a full disk would. The
// limit is set in a child process so the test runner keeps its own.
TEST(WriteS19, FailedWriteKeepsTheOldFileAndReportsIt) {
  TempDir dir;
  const std::string path = dir.File("full.S19");
  WriteFileBytes(path, "precious");
  int pipefd[2];
  ASSERT_EQ(::pipe(pipefd), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipefd[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const WriteResult result = WriteS19(path, DefaultPreferences());
    std::ostringstream report;
    report << std::hex << static_cast<std::uint32_t>(result.status) << "|" << result.description;
    const std::string text = report.str();
    [[maybe_unused]] auto n = ::write(pipefd[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(pipefd[1]);
  std::string report;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(pipefd[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<std::size_t>(n));
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(report.substr(0, 9), "80020009|");
  EXPECT_NE(report.find("full.S19"), std::string::npos) << report;
  EXPECT_EQ(ReadFileBytes(path), "precious");
  EXPECT_EQ(CountEntries(dir.path()), 1) << "temporary file left behind";
}

// `( echo log1; quillon set ... -o /dev/stdout ) >> app.log` must leave the
// log and add to it, as the shell's redirection does: a descriptor link is
// written in place, never renamed over.
TEST(WriteS19, DescriptorLinksAreWrittenInPlace) {
  TempDir dir;
  const std::string log = dir.File("app.log");
  WriteFileBytes(log, "log1\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  struct stat before;
  ASSERT_EQ(::stat(log.c_str(), &before), 0);
  for (const std::string& link : {"/proc/self/fd/" + std::to_string(fd), "/dev/fd/" + std::to_string(fd)}) {
    const WriteResult result = WriteS19(link, DefaultPreferences());
    EXPECT_EQ(result.status, S_OK) << link << ": " << result.description;
  }
  ::close(fd);
  EXPECT_EQ(ReadFileBytes(log), "log1\n" + kDefaultFile + kDefaultFile);
  struct stat after;
  ASSERT_EQ(::stat(log.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the log was replaced";
  EXPECT_EQ(CountEntries(dir.path()), 1);

  int pipefd[2];
  ASSERT_EQ(::pipe2(pipefd, O_CLOEXEC), 0);
  EXPECT_EQ(WriteS19("/proc/self/fd/" + std::to_string(pipefd[1]), DefaultPreferences()).status, S_OK);
  ::close(pipefd[1]);
  std::string piped(1000, '\0');
  piped.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(pipefd[0], piped.data(), piped.size()))));
  ::close(pipefd[0]);
  EXPECT_EQ(piped, kDefaultFile);
}

TEST(WriteS19, StreamsAndDevicesAreWrittenInPlace) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // No one reads: fails at once instead of waiting.
  EXPECT_EQ(WriteS19(fifo, DefaultPreferences()).status, DISP_E_EXCEPTION);

  std::string received;
  std::thread reader([&] { received = ReadFileBytes(fifo); });
  WriteResult result;
  // The reader may not have opened its end yet.
  for (int i = 0; i < 500; ++i) {
    result = WriteS19(fifo, DefaultPreferences());
    if (result.status == S_OK) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(result.status, S_OK) << result.description;
  if (result.status != S_OK) WriteFileBytes(fifo, "");  // lets the reader finish
  reader.join();
  EXPECT_EQ(received, kDefaultFile);
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  EXPECT_EQ(WriteS19("/dev/null", DefaultPreferences()).status, S_OK);
  ASSERT_EQ(::lstat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  result = WriteS19("/dev/full", DefaultPreferences());
  EXPECT_EQ(result.status, DISP_E_EXCEPTION);
  EXPECT_NE(result.description.find("/dev/full"), std::string::npos) << result.description;
  EXPECT_NE(result.description.find("No space left"), std::string::npos) << result.description;
}

// Writers killed at random moments leave no temporary file behind once the
// next write is done: the new content has no name until the instant before
// the rename, and a name a kill left there is removed by the next writer.
TEST(WriteS19, KilledWritersLeaveNothingBehind) {
  TempDir dir;
  const std::string path = dir.File("k.S19");
  WriteFileBytes(path, kDefaultFile);
  std::mt19937 random(12345);
  constexpr int kKills = 100;
  for (int i = 0; i < kKills; ++i) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) WriteS19(path, DefaultPreferences());
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 3000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(ReadFileBytes(path), kDefaultFile) << "kill " << i;
  }
  ASSERT_EQ(WriteS19(path, DefaultPreferences()).status, S_OK);
  EXPECT_EQ(CountEntries(dir.path()), 1) << "temporary files left behind";
}

}  // namespace
}  // namespace quillon
