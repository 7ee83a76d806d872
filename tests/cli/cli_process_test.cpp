// The quillon program run as a process, as a user or a script runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct Result {
  int status;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  TempDir dir;

  // Runs quillon with `args` split at blanks, each quoted for the shell.
  Result Run(const std::string& args, const std::string& registry = "registry.txt") {
    std::string quoted;
    std::size_t start = 0;
    while (start < args.size()) {
      std::size_t end = args.find(' ', start);
      if (end == std::string::npos) end = args.size();
      if (end > start) quoted += " '" + args.substr(start, end - start) + "'";
      start = end + 1;
    }
    const std::string command = "cd " + dir.path() + " && QUILLON_REGISTRY=" + dir.File(registry) + " " +
                                QUILLON_CLI + quoted + " >" + dir.File("out.txt") + " 2>" + dir.File("err.txt");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir.File("out.txt")),
            ReadFileBytes(dir.File("err.txt"))};
  }

  void SetUp() override { ASSERT_EQ(Run(std::string("register ") + QUILLON_COMPONENT_PATH).status, 0); }
};

TEST_F(Cli, NewSetGet) {
  ASSERT_EQ(Run("new a.S19").status, 0);
  ASSERT_EQ(Run("set a.S19 BrightnessDay=20").status, 0);
  const Result r = Run("get a.S19 BrightnessDay");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "4\n");
}

TEST_F(Cli, DefaultFileIsTheDocumentedOne) {
  ASSERT_EQ(Run("new a.S19").status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("a.S19")),
            "S2240012004F150100004D000F464759000B3202BCFA14040A04B0EA6000FFFFFF03FF02E725\r\n"
            "S22400122002300064000012C0FB01000000000B3C00015F900FA000000F32B8002000000046\r\n"
            "S2240012400007008407012E07013A72012E07010000000000000000000000000000000000DD\r\n"
            "S9030000FC\r\n");
}

TEST_F(Cli, ShowPrintsEveryPropertyInInterfaceOrder) {
  ASSERT_EQ(Run("new a.S19").status, 0);
  const Result r = Run("show a.S19");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Flags = 15\nVersion = 256\nRegion = 0\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("TimeZoneOffset = -5\n"), std::string::npos);
  EXPECT_NE(r.out.find("ColorBalance(2) = 0\nVIN = \"1G F   G Y 000001\"\n"), std::string::npos);
  EXPECT_NE(r.out.find("ElementY(WIN_FUEL) = 114\n"), std::string::npos);
  EXPECT_NE(r.out.find("FontColor = 16777215\n"), std::string::npos);
  const std::string last = "\nAircoreTestRange = 47104\n";
  ASSERT_GT(r.out.size(), last.size());
  EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
}

TEST_F(Cli, ShowJson) {
  ASSERT_EQ(Run("new a.S19").status, 0);
  ASSERT_EQ(Run("set a.S19 PPMDividend=-1 FontColor=4294967295 ColorBalance(1)=-7").status, 0);
  const Result r = Run("show --json a.S19");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* part : {"\"Flags\": 15,", "\"VIN\": \"1G F   G Y 000001\",", "\"ColorBalance\": [0, -7, 0],",
                           "\"ElementX\": [0, 132, 46, 58, 46],", "\"ElementY\": [7, 7, 7, 114, 7],",
                           "\"PPMDividend\": -1,", "\"FontColor\": 4294967295,", "\"AircoreTestRange\": 47104\n}"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  EXPECT_EQ(r.out.front(), '{');
}

TEST_F(Cli, IndexesByNumberOrConstant) {
  ASSERT_EQ(Run("new a.S19").status, 0);
  ASSERT_EQ(Run("set a.S19 ElementX(WIN_FUEL)=12 ElementAlignment(1)=FONT_RIGHT -o b.S19").status, 0);
  EXPECT_EQ(Run("get b.S19 ElementX(3)").out, "12\n");
  EXPECT_EQ(Run("get b.S19 ElementAlignment(WIN_COMPASS)").out, "2\n");
  EXPECT_EQ(Run("get a.S19 ElementX(3)").out, "58\n") << "-o leaves the input alone";
}

TEST_F(Cli, FailuresNameTheStatus) {
  Result r = Run("new /no/such/folder/a.S19");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("File not found!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("0x80020009"), std::string::npos) << r.err;

  ASSERT_EQ(Run("new a.S19").status, 0);
  const std::string before = ReadFileBytes(dir.File("a.S19"));
  struct Case {
    const char* args;
    const char* status;
  } cases[] = {
      {"set a.S19 Region=abc", "0x80020005"},
      {"set a.S19 SpeedUpdate=5 FuelDiv=70000", "0x8002000A"},
      {"get a.S19 ColorBalance(3)", "0x80070057"},
      {"set a.S19 ElementX(9)=1", "0x80070057"},
      {"get a.S19 NoSuchThing", "0x80020006"},
      {"get missing.S19 Region", "0x80004005"},
  };
  for (const Case& c : cases) {
    r = Run(c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.status), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("a.S19")), before) << "a failed set must not write";

  WriteFileBytes(dir.File("bad.S19"), "S2240012004F\r\n");
  r = Run("show bad.S19");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0x80004005"), std::string::npos);
}

TEST_F(Cli, UnregisteredComponent) {
  const Result r = Run("new a.S19", "empty-registry.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("quillon register"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("0x800401F3"), std::string::npos) << r.err;  // no such ProgID
  EXPECT_EQ(Run("unregister " + std::string(QUILLON_COMPONENT_PATH)).status, 0);
  EXPECT_EQ(Run("new a.S19").status, 1);
  EXPECT_EQ(Run("register /no/such/lib.so").status, 1);
}

TEST_F(Cli, UsageAndHelp) {
  EXPECT_EQ(Run("").status, 2);
  EXPECT_EQ(Run("frobnicate").status, 2);
  EXPECT_EQ(Run("get a.S19").status, 2);
  EXPECT_EQ(Run("set a.S19 Region").status, 2);
  EXPECT_EQ(Run("set a.S19 Region=1 -o").status, 2);
  EXPECT_EQ(Run("show").status, 2);
  for (const char* command : {"register", "unregister", "new", "show", "get", "set"}) {
    const Result r = Run(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find(std::string("usage: quillon ") + command), std::string::npos) << command;
  }
  EXPECT_EQ(Run("--help").status, 0);
}

}  // namespace
}  // namespace quillon
