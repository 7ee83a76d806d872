// The registry: persistence, names, delete rules, damaged files, and
// concurrent writers.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "quillon_registry.h"

#include "test_support.h"

extern char** environ;

namespace {

using RegistryTest = TempRegistryTest;

TEST_F(RegistryTest, ValuesAndEmptyKeysPersistInAReadableFile) {
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Quillon.Preferences\\CLSID", u"", u"{ABC}"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\Programmable", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"Software\\Quillon", u"Path", u"C:\\dir \"quoted\"\nline2"),
            ERROR_SUCCESS);
  const std::string text = ReadRegistryFile();
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\Quillon.Preferences\\CLSID]\n@=\"{ABC}\""), std::string::npos);
  EXPECT_NE(text.find("\"Path\"=\"C:\\\\dir \\\"quoted\\\"\\nline2\""), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\CLSID\\{X}\\Programmable]"), std::string::npos);

  // Another writer replaces the file: the next read sees its content.
  std::string edited = text;
  edited.replace(edited.find("{ABC}"), 5, "{XYZ}");
  WriteRegistryFile(edited);
  std::u16string value;
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"Quillon.Preferences\\CLSID", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"{XYZ}");
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\Quillon", u"Path", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"C:\\dir \"quoted\"\nline2");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\Programmable"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"CLSID\\{X}"));  // roots are separate
}

TEST_F(RegistryTest, QueryReportsSizesAndMissingValues) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"K", u"V", u"12345"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  char16_t small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, u"V", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(RegQueryValueExW(key, u"Other", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);  // no default
  EXPECT_EQ(RegDeleteValueW(key, u"v"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"V"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, DeleteKeyRefusesKeysWithSubkeysAndDeleteTreeTakesAll) {
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"A\\B\\C", u"", u"x"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"A", u"Keep", u"y"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"A\\B"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"A\\B\\C"));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"A\\B\\C"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"A\\B\\C"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"A\\B"), ERROR_SUCCESS);

  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"A\\B\\C\\D", u"", u"x"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"a\\b"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"A\\B"));
  std::u16string value;
  EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, u"A", u"Keep", &value), ERROR_SUCCESS);
}

TEST_F(RegistryTest, HandleOfADeletedKeyReportsIt) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"Doomed", u"", u"x"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Doomed", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Doomed"), ERROR_SUCCESS);
  const char16_t v[] = u"y";
  EXPECT_EQ(RegSetValueExW(key, u"", 0, REG_SZ, reinterpret_cast<const BYTE*>(v), sizeof v), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, BadNamesAndTypesAreRefused) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Bad\nName", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"K", u"", u"x"), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const DWORD number = 5;
  EXPECT_EQ(RegSetValueExW(key, u"N", 0, 4 /* REG_DWORD */, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryTest, CorruptFileIsReportedAndLeftAlone) {
  const std::string garbage = "[HKEY_CLASSES_ROOT\\Fine]\n@=\"ok\"\nthis line is not registry text\n";
  WriteRegistryFile(garbage);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Fine", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"New", u"", u"x"), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(ReadRegistryFile(), garbage);

  for (const std::string bad : {"@=\"value before any key\"\n", "[HKEY_NOWHERE\\X]\n",
                                "[HKEY_CURRENT_USER\\X]\n\"unterminated=\"x\"\n",
                                "[HKEY_CURRENT_USER\\X]\n@=\"bad escape \\q\"\n", "[HKEY_CURRENT_USER\\X\n"}) {
    WriteRegistryFile(bad);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT) << bad;
  }
  // Not "not registered": the registry itself is the trouble.
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"X", &clsid), REGDB_E_READREGDB);
  // Repaired by hand: usable again.
  WriteRegistryFile("[HKEY_CURRENT_USER\\X]\n");
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

// A file written by hand: sections out of tree order, names spelt
// differently from one section to the next, the same path under two roots,
// empty path parts, CRLF line ends, escapes next to non-ASCII text, and a
// value given twice.
TEST_F(RegistryTest, HandWrittenFileReadsAsWritten) {
  WriteRegistryFile(
      "; written by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\A]\r\n"
      "@=\"first\"\r\n"
      "[hkey_current_user\\SOFTWARE\\a\\Sub]\n"
      "\"Name\"=\"user\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\A\\Sub]\n"
      "\"Name\"=\"machine\"\n"
      "[HKEY_CURRENT_USER\\Software\\\\B\\Deep\\]\n"
      "@=\"deep\"\n"
      "[HKEY_CURRENT_USER\\Software\\A]\n"
      "\"Text\"=\"K\xC3\xB6ln \\\"q\\\"\\t\xF0\x9F\x98\x80 \\\\ end\"\n"
      "\"Twice\"=\"one\"\n"
      "\"TWICE\"=\"two\"\n"
      "[HKEY_CURRENT_USER\\Software\\A\\Sub]\n"
      "\"Other\"=\"user too\"\n"
      "[HKEY_USERS]\n"
      "\"AtTheRoot\"=\"r\"\n"
      "[HKEY_CURRENT_USER\\Bad\xFF]\n");
  std::u16string value;
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\A", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"first");
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\A\\Sub", u"Name", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"user");
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\A\\Sub", u"Other", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"user too");
  ASSERT_EQ(GetString(HKEY_LOCAL_MACHINE, u"Software\\A\\Sub", u"Name", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"machine");
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, u"Software\\A\\Sub", u"Other", &value), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\B\\Deep", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"deep");
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\A", u"Text", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"K\u00F6ln \"q\"\t\U0001F600 \\ end");
  ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Software\\A", u"twice", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"two");
  ASSERT_EQ(GetString(HKEY_USERS, u"", u"AtTheRoot", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"r");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Bad\xDCFF"));  // the byte is kept

  // One key per name whatever the spelling, named as first written.
  const auto subkeys = [](HKEY root, const char16_t* path) {
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char16_t name[64];
    DWORD len = 64;
    for (DWORD i = 0; RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, len = 64) {
      names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
  };
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, u""), (std::vector<std::u16string>{u"Bad\xDCFF", u"Software"}));
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, u"Software"), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, u"Software\\A"), (std::vector<std::u16string>{u"Sub"}));

  // Saved again through another spelling: the same key, named as first
  // written; of a value's two spellings in the file, the later one wins.
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"SOFTWARE\\a\\SUB", u"NAME", u"again"), ERROR_SUCCESS);
  const std::string saved = ReadRegistryFile();
  EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\A\\Sub]\n\"Name\"=\"again\""), std::string::npos) << saved;
  EXPECT_EQ(saved.find("NAME"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"TWICE\"=\"two\""), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\"Twice\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"Text\"=\"K\xC3\xB6ln \\\"q\\\"\\t\xF0\x9F\x98\x80 \\\\ end\""), std::string::npos) << saved;
}

// The file decides which code is loaded, so nothing in it is trusted, and
// every refusal names the file, the line and what to do.
TEST_F(RegistryTest, HostileTextIsRefusedNamingTheLine) {
  std::string deep = "[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i) deep += "\\k";
  const struct {
    std::string text;
    const char* line;
    const char* says;
  } cases[] = {
      {deep + "]\n", ":1:", "nested more than 64"},
      {"\xEF\xBB\xBF; a byte-order mark is fine\n[HKEY_CURRENT_USER\\X]\n@=\"ok\"\nbroken\n", ":4:", "neither"},
      {"[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\n\n@=\"libevil.so\"\n", ":3:", "relative path"},
      {"[HKEY_CLASSES_ROOT\\TypeLib\\{X}\\1.0\\0\\win64]\n@=\"evil.tlb\"\n", ":2:", "relative path"},
  };
  for (const auto& c : cases) {
    WriteRegistryFile(c.text);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT) << c.says;
    const std::string text = ErrorText();
    EXPECT_NE(text.find(registry_ + c.line), std::string::npos) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
  }
  WriteRegistryFile("\xEF\xBB\xBF[HKEY_CURRENT_USER\\X]\r\n@=\"ok\"\r\n");
  std::u16string value;
  EXPECT_EQ(GetString(HKEY_CURRENT_USER, u"X", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"ok");
  // Nor can a relative path be written.
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\InprocServer32", u"", u"lib/x.so"), ERROR_BAD_PATHNAME);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\InprocServer32", u"", u"/lib/x.so"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, OnlyRegularFilesOfBoundedSizeAreRead) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), fifo, dir_}) {
    setenv("QUILLON_REGISTRY", path.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_CANTREAD) << path;
    EXPECT_NE(ErrorText().find("'" + path + "'"), std::string::npos) << path;
    EXPECT_NE(SetString(HKEY_CURRENT_USER, u"X", u"", u"y"), ERROR_SUCCESS) << path;
  }
  setenv("QUILLON_REGISTRY", registry_.c_str(), 1);
  WriteRegistryFile(std::string(5 << 20, ';'));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_CANTREAD);
  EXPECT_NE(ErrorText().find("larger than 4 MiB"), std::string::npos);
}

TEST_F(RegistryTest, FilesOthersCanChangeAreRefused) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"y"), ERROR_SUCCESS);
  const std::string before = ReadRegistryFile();
  auto refused = [&](const std::string& says) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"X", 0, KEY_READ, &key), ERROR_CANTREAD);
    const std::string text = ErrorText();
    EXPECT_NE(text.find(says), std::string::npos) << text;
    EXPECT_NE(SetString(HKEY_CURRENT_USER, u"X", u"", u"z"), ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryFile(), before);
  };
  ASSERT_EQ(chmod(registry_.c_str(), 0666), 0);
  refused("chmod go-w '" + registry_ + "'");
  ASSERT_EQ(chmod(registry_.c_str(), 0600), 0);
  ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
  refused("chmod go-w '" + dir_ + "'");
  ASSERT_EQ(chmod(dir_.c_str(), 0700), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(registry_.c_str(), 65534, 65534), 0);
    refused("belongs to user 65534");
    ASSERT_EQ(chown(registry_.c_str(), 0, 0), 0);
  }
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"z"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ASymbolicLinkIsWrittenThrough) {
  const std::string real = dir_ + "/real.txt";
  std::filesystem::create_symlink("real.txt", registry_);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"y"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"z"), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_symlink(registry_));
  const std::string text = ReadRegistryFile();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\X]\n@=\"z\""), std::string::npos) << text;
  EXPECT_EQ(text.find("[HKEY_CURRENT_USER\\X]"), text.rfind("[HKEY_CURRENT_USER\\X]")) << "written twice: " << text;
  EXPECT_EQ(Entries(), 2);
}

// Starts the writer process with its three arguments.
pid_t StartWriter(const std::string& mode, const std::string& a, const std::string& b) {
  char* argv[] = {const_cast<char*>(REGISTRY_WRITER_PATH), const_cast<char*>(mode.c_str()), const_cast<char*>(a.c_str()),
                  const_cast<char*>(b.c_str()), nullptr};
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, REGISTRY_WRITER_PATH, nullptr, nullptr, argv, environ), 0);
  return pid;
}

void ExpectSuccess(pid_t pid) {
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// What a registration writes reaches the file in one save: two processes
// rewriting a class at once both succeed, and a third never sees it half
// written.
TEST_F(RegistryTest, UpdatesReachTheFileTogether) {
  ASSERT_EQ(QuillonRegistryBeginUpdate(), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"A", u"", u"1"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"B", u"", u"2"), ERROR_SUCCESS);
  EXPECT_EQ(ReadRegistryFile().find("[HKEY_CURRENT_USER\\A]"), std::string::npos) << "saved too early";
  ASSERT_EQ(QuillonRegistryEndUpdate(), ERROR_SUCCESS);
  EXPECT_NE(ReadRegistryFile().find("[HKEY_CURRENT_USER\\B]"), std::string::npos);

  const pid_t pids[] = {StartWriter("register", "12", "40"), StartWriter("register", "12", "40"),
                        StartWriter("watch", "12", "400")};
  for (pid_t pid : pids) ExpectSuccess(pid);
}

TEST_F(RegistryTest, KilledWritersLeaveNothingBehind) {
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) {
    const pid_t pid = StartWriter("register", "5", "100000");
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 8000));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"After", u"", u"x"), ERROR_SUCCESS);
  EXPECT_EQ(Entries(), 1);
  std::u16string value;
  EXPECT_EQ(GetString(HKEY_CURRENT_USER, u"After", u"", &value), ERROR_SUCCESS);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kKeys = 150;
  const std::string count = std::to_string(kKeys);
  const char* prefixes[2] = {"alpha", "beta"};
  const pid_t pids[] = {StartWriter("keys", prefixes[0], count), StartWriter("keys", prefixes[1], count)};
  for (pid_t pid : pids) ExpectSuccess(pid);
  for (const char* prefix : prefixes) {
    for (int i = 0; i < kKeys; ++i) {
      const std::string name = std::string(prefix) + "-" + std::to_string(i);
      std::u16string value;
      ASSERT_EQ(GetString(HKEY_CURRENT_USER, u"Concurrency\\" + quillon::Utf8ToUtf16(name), u"Owner", &value),
                ERROR_SUCCESS) << name;
      EXPECT_EQ(value, quillon::Utf8ToUtf16(std::string(prefix) + std::to_string(i)));
    }
  }
  EXPECT_EQ(Entries(), 1) << "temporary or lock files left behind";
}

// "T<t>\\K<i>", built by appending: GCC 12 at -O3 reports a false
// -Wrestrict for `"literal" + std::string&&` (which inserts at the front).
std::u16string KeyPath(int t, int i) {
  std::string path = "T";
  path += std::to_string(t);
  path += "\\K";
  path += std::to_string(i);
  return quillon::Utf8ToUtf16(path);
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kKeys; ++i) {
        const std::u16string path = KeyPath(t, i);
        EXPECT_EQ(SetString(HKEY_CURRENT_USER, path, u"", u"v"), ERROR_SUCCESS);
        std::u16string value;
        EXPECT_EQ(GetString(HKEY_CURRENT_USER, path, u"", &value), ERROR_SUCCESS);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KeyPath(t, i)));
    }
  }
}

TEST(RegistryLocation, FollowsXdgConfigHomeWhenNoOverrideIsSet) {
  const quillon::testing::TempDir xdg;
  const std::string& pattern = xdg.path();
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  unsetenv("QUILLON_REGISTRY");
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(std::filesystem::exists(pattern + "/quillon/registry.txt"));
  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
