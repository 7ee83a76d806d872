// The registry: persistence, names, delete rules, damaged and hostile files,
// and concurrent writers.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "quillon_registry.h"

#include "test_support.h"

namespace {

using RegistryTest = TempRegistryTest;

LONG CreateKey(HKEY root, const std::u16string& path) {
  HKEY key = nullptr;
  const LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (err == ERROR_SUCCESS) RegCloseKey(key);
  return err;
}

// The names of a key's subkeys in order; "<unreadable>" alone when the key
// is there but cannot be opened, none when it is not there.
std::vector<std::u16string> Subkeys(HKEY root, const std::u16string& path) {
  std::vector<std::u16string> names;
  HKEY key = nullptr;
  if (const LONG err = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key); err != ERROR_SUCCESS) {
    if (err != ERROR_FILE_NOT_FOUND) names.emplace_back(u"<unreadable>");
    return names;
  }
  char16_t name[64];
  DWORD len = 64;
  for (DWORD i = 0; RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, len = 64) {
    names.emplace_back(name, len);
  }
  RegCloseKey(key);
  return names;
}

// prefix followed by the number, built by appending: GCC 12 at -O3 reports
// a false -Wrestrict for `"literal" + std::string&&`.
std::u16string Numbered(std::u16string prefix, int i) {
  prefix += quillon::Utf8ToUtf16(std::to_string(i));
  return prefix;
}

TEST_F(RegistryTest, CallsOnKeysAndValues) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"K", u"V", u"12345"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
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
  const DWORD number = 5;
  EXPECT_EQ(RegSetValueExW(key, u"N", 0, 4 /* REG_DWORD */, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteValueW(key, u"v"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"V"), ERROR_FILE_NOT_FOUND);
  // The handle of a deleted key says so.
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"K"), ERROR_SUCCESS);
  const char16_t v[] = u"y";
  EXPECT_EQ(RegSetValueExW(key, u"", 0, REG_SZ, reinterpret_cast<const BYTE*>(v), sizeof v), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, u"Bad\nName"), ERROR_INVALID_PARAMETER);

  // A key with subkeys is deleted only as a tree.
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
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, u"A", u"Keep"), u"y");
}

// A file written by hand: sections out of tree order, names spelt
// differently from one section to the next, the same path under two roots,
// empty path parts, CRLF line ends, escapes next to non-ASCII text, and a
// value given twice. Saved again, it is text of the same kind, with empty
// keys kept; and what another writer puts in its place is what is read.
TEST_F(RegistryTest, HandWrittenFileReadsAsWrittenAndIsSavedAsText) {
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
  const struct {
    HKEY root;
    const char16_t* path;
    const char16_t* name;
    std::u16string value;
  } values[] = {
      {HKEY_CURRENT_USER, u"Software\\A", u"", u"first"},
      {HKEY_CURRENT_USER, u"Software\\A\\Sub", u"Name", u"user"},
      {HKEY_CURRENT_USER, u"Software\\A\\Sub", u"Other", u"user too"},
      {HKEY_LOCAL_MACHINE, u"Software\\A\\Sub", u"Name", u"machine"},
      {HKEY_LOCAL_MACHINE, u"Software\\A\\Sub", u"Other", u"<error 2>"},  // ERROR_FILE_NOT_FOUND
      {HKEY_CURRENT_USER, u"Software\\B\\Deep", u"", u"deep"},
      {HKEY_CURRENT_USER, u"Software\\A", u"Text", u"K\u00F6ln \"q\"\t\U0001F600 \\ end"},
      {HKEY_CURRENT_USER, u"Software\\A", u"twice", u"two"},
      {HKEY_USERS, u"", u"AtTheRoot", u"r"},
  };
  for (const auto& v : values) EXPECT_EQ(ValueOf(v.root, v.path, v.name), v.value) << quillon::ToUtf8(v.path);
  // One key per name whatever the spelling, named as first written; the
  // byte that is not UTF-8 is kept.
  EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, u""), (std::vector<std::u16string>{u"Bad\xDCFF", u"Software"}));
  EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, u"Software"), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, u"Software\\A"), (std::vector<std::u16string>{u"Sub"}));

  // Saved again through another spelling: the same key, named as first
  // written; of a value's two spellings in the file, the later one wins.
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"SOFTWARE\\a\\SUB", u"NAME", u"again"), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\Programmable"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"Software\\Quillon", u"Path", u"C:\\dir \"quoted\"\nline2"),
            ERROR_SUCCESS);
  const std::string saved = ReadRegistryFile();
  for (const char* text : {"[HKEY_CURRENT_USER\\Software\\A\\Sub]\n\"Name\"=\"again\"", "\"TWICE\"=\"two\"",
                           "[HKEY_CURRENT_USER\\Software\\A]\n@=\"first\"", "[HKEY_CLASSES_ROOT\\CLSID\\{X}\\Programmable]",
                           "\"Text\"=\"K\xC3\xB6ln \\\"q\\\"\\t\xF0\x9F\x98\x80 \\\\ end\"",
                           "\"Path\"=\"C:\\\\dir \\\"quoted\\\"\\nline2\""}) {
    EXPECT_NE(saved.find(text), std::string::npos) << text << " in " << saved;
  }
  EXPECT_EQ(saved.find("NAME"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\"Twice\""), std::string::npos) << saved;

  // Another writer replaces the file: the next read sees its content.
  std::string edited = saved;
  edited.replace(edited.find("again"), 5, "other");
  WriteRegistryFile(edited);
  EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, u"Software\\A\\Sub", u"Name"), u"other");
  EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, u"Software\\Quillon", u"Path"), u"C:\\dir \"quoted\"\nline2");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\Programmable"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"CLSID\\{X}"));  // roots are separate
}

// The file decides which code is loaded, so nothing in it is trusted: a
// damaged or hostile file is refused, named with the line and what is wrong
// in the thread's error information, and left as it is.
TEST_F(RegistryTest, DamagedAndHostileTextIsRefusedNamingTheLine) {
  std::string deep = "[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i) deep += "\\k";
  const struct {
    std::string text;
    const char* line;
    const char* says;
  } cases[] = {
      {"[HKEY_CLASSES_ROOT\\Fine]\n@=\"ok\"\nthis line is not registry text\n", ":3:", "neither"},
      {"@=\"value before any key\"\n", ":1:", "before the first section"},
      {"[HKEY_NOWHERE\\X]\n", ":1:", "outside HKEY_CLASSES_ROOT"},
      {"[HKEY_CURRENT_USER\\X]\n\"unterminated=\"x\"\n", ":2:", "not \"name\"=\"text\""},
      {"[HKEY_CURRENT_USER\\X]\n@=\"bad escape \\q\"\n", ":2:", "not \"name\"=\"text\""},
      {"[HKEY_CURRENT_USER\\X\n", ":1:", "without its closing"},
      {deep + "]\n", ":1:", "nested more than 64"},
      {"\xEF\xBB\xBF; a byte-order mark is fine\n[HKEY_CURRENT_USER\\X]\n@=\"ok\"\nbroken\n", ":4:", "neither"},
      {"[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\n\n@=\"libevil.so\"\n", ":3:", "relative path"},
      {"[HKEY_CLASSES_ROOT\\TypeLib\\{X}\\1.0\\0\\win64]\n@=\"evil.tlb\"\n", ":2:", "relative path"},
  };
  for (const auto& c : cases) {
    WriteRegistryFile(c.text);
    EXPECT_EQ(Opens(HKEY_CURRENT_USER, u"X"), ERROR_REGISTRY_CORRUPT) << c.says;
    const std::string text = ErrorText();
    EXPECT_NE(text.find(registry_ + c.line), std::string::npos) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"New", u"", u"x"), ERROR_REGISTRY_CORRUPT) << c.says;
    EXPECT_EQ(ReadRegistryFile(), c.text);
    // Not "not registered": the registry itself is the trouble.
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"X", &clsid), REGDB_E_READREGDB) << c.says;
  }
  // Repaired by hand: usable again.
  WriteRegistryFile("\xEF\xBB\xBF[HKEY_CURRENT_USER\\X]\r\n@=\"ok\"\r\n");
  EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, u"X"), u"ok");
  // Nor can a relative path be written.
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\InprocServer32", u"", u"lib/x.so"), ERROR_BAD_PATHNAME);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\InprocServer32", u"", u"/lib/x.so"), ERROR_SUCCESS);
}

// Only a regular file of bounded size that no one else can change is read;
// anything else is refused, naming it and the fix, and left as it is.
TEST_F(RegistryTest, FilesNotSafeToReadAreRefused) {
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"y"), ERROR_SUCCESS);
  std::string before = ReadRegistryFile();
  auto refused = [&](const std::string& says) {
    EXPECT_EQ(Opens(HKEY_CURRENT_USER, u"X"), ERROR_CANTREAD) << says;
    const std::string text = ErrorText();
    EXPECT_NE(text.find(says), std::string::npos) << text;
    EXPECT_NE(SetString(HKEY_CURRENT_USER, u"X", u"", u"z"), ERROR_SUCCESS) << says;
    EXPECT_EQ(ReadRegistryFile(), before);
  };
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), fifo, dir_}) {
    setenv("QUILLON_REGISTRY", path.c_str(), 1);
    refused("'" + path + "'");
  }
  setenv("QUILLON_REGISTRY", registry_.c_str(), 1);
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
  before = std::string(5 << 20, ';');
  WriteRegistryFile(before);
  refused("larger than 4 MiB");
}

// The registry saves through the same writer as the settings files; this
// keeps it from growing a rename of its own that would replace the link.
TEST_F(RegistryTest, ASymbolicLinkIsWrittenThrough) {
  std::filesystem::create_symlink("real.txt", registry_);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"y"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"X", u"", u"z"), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_symlink(registry_));
  EXPECT_NE(ReadRegistryFile().find("@=\"z\""), std::string::npos);
}

// Runs body in a process of its own, which exits with 0 when body is true.
pid_t Child(const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  EXPECT_GT(pid, 0);
  return pid;
}

void ExpectSuccess(pid_t pid) {
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A registration, `rounds` times: in one update, Class deleted and written
// anew with `count` subkeys.
bool Register(int count, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    if (QuillonRegistryBeginUpdate() != ERROR_SUCCESS) return false;
    RegDeleteTreeW(HKEY_CURRENT_USER, u"Class");
    for (int i = 0; i < count; ++i) {
      if (SetString(HKEY_CURRENT_USER, Numbered(u"Class\\Sub", i), u"", u"v") != ERROR_SUCCESS) return false;
    }
    if (QuillonRegistryEndUpdate() != ERROR_SUCCESS) return false;
  }
  return true;
}

// Each change is made to the file as it is under the lock, so processes
// and threads writing keys one by one lose none; what an update writes
// reaches the file in one save, so a reader never sees a class half
// written.
TEST_F(RegistryTest, ProcessesAndThreadsWritingAtOnceLoseNothing) {
  ASSERT_EQ(QuillonRegistryBeginUpdate(), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"A", u"", u"1"), ERROR_SUCCESS);
  EXPECT_EQ(ReadRegistryFile().find("[HKEY_CURRENT_USER\\A]"), std::string::npos) << "saved too early";
  ASSERT_EQ(QuillonRegistryEndUpdate(), ERROR_SUCCESS);
  EXPECT_NE(ReadRegistryFile().find("[HKEY_CURRENT_USER\\A]"), std::string::npos);

  constexpr int kKeys = 100;
  const auto key = [](const std::u16string& owner, int i) { return Numbered(u"Concurrency\\" + owner + u"-", i); };
  // Writes its keys, each read back at once.
  const auto keys = [&](const std::u16string& owner) {
    for (int i = 0; i < kKeys; ++i) {
      if (SetString(HKEY_CURRENT_USER, key(owner, i), u"Owner", Numbered(owner, i)) != ERROR_SUCCESS ||
          ValueOf(HKEY_CURRENT_USER, key(owner, i), u"Owner") != Numbered(owner, i)) {
        return false;
      }
    }
    return true;
  };
  const auto watch = [] {
    for (int round = 0; round < 400; ++round) {
      const std::size_t seen = Subkeys(HKEY_CURRENT_USER, u"Class").size();
      if (seen != 0 && seen != 12) return false;
    }
    return true;
  };
  // The processes first: a process that forks must not run threads.
  const pid_t pids[] = {Child([&] { return keys(u"alpha"); }), Child([&] { return keys(u"beta"); }),
                        Child([] { return Register(12, 40); }), Child([] { return Register(12, 40); }),
                        Child(watch)};
  const std::u16string threadOwners[] = {u"t0", u"t1", u"t2", u"t3"};
  std::vector<std::thread> threads;
  for (const std::u16string& owner : threadOwners) threads.emplace_back([&] { EXPECT_TRUE(keys(owner)); });
  for (auto& thread : threads) thread.join();
  for (pid_t pid : pids) ExpectSuccess(pid);
  for (const std::u16string owner : {u"alpha", u"beta", u"t0", u"t1", u"t2", u"t3"}) {
    for (int i = 0; i < kKeys; ++i) EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, key(owner, i), u"Owner"), Numbered(owner, i));
  }
  EXPECT_EQ(Entries(), 1) << "temporary or lock files left behind";
}

TEST_F(RegistryTest, KilledWritersLeaveNothingBehind) {
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) {
    const pid_t pid = Child([] { return Register(5, 100000); });
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 8000));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  ASSERT_EQ(SetString(HKEY_CURRENT_USER, u"After", u"", u"x"), ERROR_SUCCESS);
  EXPECT_EQ(Entries(), 1);
  EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, u"After"), u"x");
}

TEST(RegistryLocation, FollowsXdgConfigHomeWhenNoOverrideIsSet) {
  const quillon::testing::TempDir xdg;
  unsetenv("QUILLON_REGISTRY");
  setenv("XDG_CONFIG_HOME", xdg.path().c_str(), 1);  // left set: the tests after this one name their registry
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, u"Probe"), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(xdg.path() + "/quillon/registry.txt"));
}

}  // namespace
