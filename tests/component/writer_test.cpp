// The S-record writer: exact output, and files that are never left half
// written. (Streams, devices, descriptor links and a full disk are written
// through the command-line client's tests.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include "default_file.h"
#include "preferences_record.h"
#include "s19_writer.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using testing::CountEntries;
using testing::kDefaultFile;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(WriteS19, WritesTheFourDocumentedLinesOverALongerFile) {
  TempDir dir;
  const std::string path = dir.File("a.S19");
  WriteFileBytes(path, std::string(5000, 'x'));
  const WriteResult result = WriteS19(path, DefaultPreferences());
  ASSERT_EQ(result.status, S_OK) << result.description;
  EXPECT_EQ(ReadFileBytes(path), kDefaultFile);
  EXPECT_EQ(CountEntries(dir.path()), 1) << "temporary file left behind";
}

TEST(WriteS19, FilesThatCannotBeWrittenReportFileNotFoundAndStay) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  WriteFileBytes(dir.File("ro.S19"), "old");
  ::chmod(dir.File("ro.S19").c_str(), 0444);
  for (const std::string& path : {dir.File("missing/a.S19"), dir.File("sub"), dir.File("sub/"), std::string(),
                                  dir.File("ro.S19")}) {
    const WriteResult result = WriteS19(path, DefaultPreferences());
    EXPECT_EQ(result.status, DISP_E_EXCEPTION) << path;
    EXPECT_EQ(result.description, "File not found!") << path;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_EQ(CountEntries(dir.File("sub")), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("ro.S19")), "old");
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
