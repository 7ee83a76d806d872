// The quillon program run as a process, as a user or a script runs it: from
// bash, with pipes, odd names, full disks and neighbours running at once.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "default_file.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using testing::CountEntries;
using testing::kDataLine;
using testing::kDefaultFile;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct Result {
  int status;
  std::string out, err;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Each part must appear in text.
void ExpectParts(const std::string& text, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) EXPECT_TRUE(Has(text, part)) << part << "\nis not in:\n" << text;
}

class Cli : public ::testing::Test {
 protected:
  TempDir dir;

  // Runs a bash script in the test's folder, with $Q the program, $LIB the
  // component and $SHARE the manual page and completion, against a registry
  // in that folder. QUILLON_TEST_CLI and QUILLON_TEST_COMPONENT put another
  // build in their place (tools/test-windows.sh: quillon.exe under Wine).
  Result Sh(const std::string& script) {
    const char* cli = std::getenv("QUILLON_TEST_CLI");
    const char* component = std::getenv("QUILLON_TEST_COMPONENT");
    WriteFileBytes(dir.File("script.sh"), "Q='" + std::string(cli ? cli : QUILLON_CLI) +
                                              "'\nLIB='" + std::string(component ? component : QUILLON_COMPONENT_PATH) + "'" +
                                              "\nSHARE=" + QUILLON_SHARE + "\nexport QUILLON_REGISTRY=" +
                                              dir.File("registry.txt") + "\n" + script + "\n");
    const std::string command = "cd " + dir.path() + " && bash script.sh >" + dir.File("out.txt") + " 2>" +
                                dir.File("err.txt");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir.File("out.txt")),
            ReadFileBytes(dir.File("err.txt"))};
  }

  // Runs script; expects its exit status, each of `out` in its standard
  // output and each of `err` in its standard error.
  Result Expect(const std::string& script, int status, std::initializer_list<std::string> out,
                std::initializer_list<std::string> err = {}) {
    Result r = Sh(script);
    EXPECT_EQ(r.status, status) << script << "\n" << r.out << r.err;
    ExpectParts(r.out, out);
    ExpectParts(r.err, err);
    return r;
  }

  void SetUp() override {
    ASSERT_EQ(Sh("$Q register $LIB").status, 0);
    ASSERT_EQ(Sh("$Q new a.S19").status, 0);
  }
};

TEST_F(Cli, NewSetGetShowDiff) {
  EXPECT_EQ(ReadFileBytes(dir.File("a.S19")), kDefaultFile);
  Expect("$Q set a.S19 BrightnessDay=20 'ElementX(WIN_FUEL)=12' 'ElementAlignment(1)=FONT_RIGHT' Region=7 -o b.S19", 0, {});
  // Names in any case, as a script spells them.
  EXPECT_EQ(Sh("$Q get b.S19 brightnessDAY; $Q get b.S19 'ElementX(3)'; $Q get b.S19 'elementalignment(WIN_COMPASS)'").out,
            "4\n12\n2\n");
  EXPECT_EQ(Sh("$Q get a.S19 'ElementX(3)'").out, "58\n") << "-o leaves the input alone";
  Result r = Expect("$Q show a.S19", 0, {"\nTimeZoneOffset = -5\n", "\nColorBalance(2) = 0\nVIN = \"1G F   G Y 000001\"\n",
                                        "\nElementY(WIN_FUEL) = 114\n", "\nFontColor = 16777215\n"});
  EXPECT_TRUE(r.out.starts_with("Flags = 15\nVersion = 256\nRegion = 0\n")) << r.out;
  EXPECT_TRUE(r.out.ends_with("\nAircoreTestRange = 47104\n"));
  EXPECT_EQ(r.err, "");

  // Several files: each line or object is named by its file; one that
  // cannot be read is reported and the others are still shown.
  EXPECT_EQ(Sh("$Q show a.S19 b.S19 | grep Region").out, "a.S19:Region = 0\nb.S19:Region = 7\n");
  r = Sh("$Q show --json a.S19 b.S19");
  EXPECT_TRUE(r.out.starts_with("{\n  \"a.S19\": {\n    \"Flags\": 15,")) << r.out;
  ExpectParts(r.out, {"},\n  \"b.S19\": {"});
  r = Sh("$Q show a.S19 missing.S19 b.S19 | grep -c Region");
  EXPECT_EQ(r.out, "2\n");
  ExpectParts(r.err, {"missing.S19"});

  // diff exits as diff does: 0 equal, 1 different, 2 trouble.
  r = Expect("$Q diff a.S19 b.S19", 1, {});
  EXPECT_EQ(r.out, "Region: 0 -> 7\nBrightnessDay: 11 -> 4\nElementX(WIN_FUEL): 58 -> 12\n"
                   "ElementAlignment(WIN_COMPASS): 1 -> 2\n");
  EXPECT_EQ(Sh("$Q diff --json a.S19 b.S19").out,
            "{\n  \"Region\": [0, 7],\n  \"BrightnessDay\": [11, 4],\n  \"ElementX(WIN_FUEL)\": [58, 12],\n"
            "  \"ElementAlignment(WIN_COMPASS)\": [1, 2]\n}\n");
  EXPECT_EQ(Sh("$Q diff a.S19 a.S19; echo $?; $Q diff a.S19 missing.S19 2>/dev/null; echo $?; "
               "$Q diff a.S19 b.S19 >/dev/full 2>/dev/null; echo $?").out,
            "0\n2\n2\n");
}

// Text reaches the terminal escaped as in JSON, and comes back from JSON as
// it was.
TEST_F(Cli, JsonRoundTripsAndControlCharactersAreEscaped) {
  Expect("$Q set a.S19 PPMDividend=-1 FontColor=4294967295 'ColorBalance(1)=-7' $'VIN=123\\n567\\r9\\033' -o b.S19 && "
         "$Q show --json b.S19 > b.json && cat b.json",
         0, {"{\n  \"Flags\": 15,", "\"ColorBalance\": [0, -7, 0],", "\"ElementX\": [0, 132, 46, 58, 46],",
             "\"PPMDividend\": -1,", "\"FontColor\": 4294967295,", "\"AircoreTestRange\": 47104\n}\n"});
  Expect("$Q set a.S19 --from-json b.json -o c.S19 && cmp b.S19 c.S19 && $Q diff b.S19 c.S19", 0, {});
  Result r = Sh("$Q show b.S19 | grep -vc ' = '; $Q show b.S19 | grep VIN; $Q get b.S19 VIN");
  EXPECT_EQ(r.out, "0\nVIN = \"1G \\n   \\r \\u001b 000001\"\n\"1G \\n   \\r \\u001b 000001\"\n") << r.err;

  // Missing keys are left alone; unknown ones, wrong shapes and a read-only
  // property with another value are refused, and nothing is written.
  WriteFileBytes(dir.File("part.json"), "{\"Region\": 3}");
  EXPECT_EQ(Sh("$Q set a.S19 --from-json part.json -o d.S19 && $Q get d.S19 Region && $Q get d.S19 'ElementX(3)'").out,
            "3\n58\n");
  for (const char* bad : {"{\"Regio\": 3}", "{\"Region\": [3]}", "{\"ElementX\": [1, 2]}", "{\"VIN\": 5}",
                          "{\"Version\": 512}", "{\"Region\": 1.5}", "{\"Region\": 3, \"Region\": 4}", "{\"Region\": 3"}) {
    WriteFileBytes(dir.File("bad.json"), bad);
    Expect("$Q set a.S19 --from-json bad.json -o e.S19", 1, {}, {"bad.json"});
    EXPECT_FALSE(std::filesystem::exists(dir.File("e.S19"))) << bad << ": written anyway";
  }
}

// "R224..." for "S224...": reading skips the line, and show, get and set
// name the image bytes no record covered; set writes only with --force.
// check reports what is wrong (status 1) or unusual in each file.
TEST_F(Cli, DamagedFilesAndCheck) {
  std::string skipped = kDefaultFile, damaged = kDefaultFile, version = kDefaultFile;
  skipped[kDataLine] = 'R';
  damaged[2 * kDataLine + 74] = 'F';  // line 3's checksum
  version.replace(14, 2, "02");       // Version 0x0200, and the line's checksum 25 -> 24
  version.replace(74, 2, "24");
  const std::pair<const char*, std::string> files[] = {
      {"skipped.S19", skipped}, {"damaged.S19", damaged}, {"v.S19", version}, {"end.S19", "S9030000FC\r\n"},
      {"noend.S19", kDefaultFile.substr(0, 3 * kDataLine)},
      {"twice.S19", kDefaultFile.substr(kDataLine, kDataLine) + kDefaultFile},
      {"past.S19", "S224001260" + std::string(64, '0') + "69\r\n" + kDefaultFile}};  // at 0x1260
  for (const auto& [name, text] : files) WriteFileBytes(dir.File(name), text);

  Expect("$Q set a.S19 SplashTime=0 SatTime=65500 'ElementX(WIN_CLOCK)=160' 'ElementX(WIN_FUEL)=200' -o r.S19", 0, {});
  // Warnings only: status 0. Values the editor's field checks would refuse
  // are warnings, as the device takes them; the fuel window's position is
  // not checked there.
  const Result r = Expect("$Q check a.S19 twice.S19 past.S19 r.S19 - < a.S19", 0,
                          {"twice.S19: warning: 1 data record(s) repeat an address",
                           "past.S19: warning: 1 data record(s) past the image are ignored",
                           "r.S19: warning: SplashTime is 0, outside the editor's 1 to 10 seconds",
                           "r.S19: warning: SatTime is 65500 (65.5 seconds in the editor), outside the editor's 0 to 65 seconds",
                           "r.S19: warning: ElementX(WIN_CLOCK) is 160, outside the editor's 0 to 159 pixels",
                           "standard input: ok"});
  EXPECT_TRUE(r.out.starts_with("a.S19: ok")) << r.out;
  EXPECT_FALSE(Has(r.out, "WIN_FUEL") || Has(r.out, "ElementY")) << r.out;
  Expect("$Q check skipped.S19 damaged.S19 end.S19 noend.S19 v.S19", 1,
         {"skipped.S19: error: no data record at 0x1220: image bytes 30-61",
          "damaged.S19:3: error: a record's checksum does not match",
          "end.S19: error: no data record at 0x1200, 0x1220, 0x1240: image bytes 0-76",
          "noend.S19:3: error: the file ends before an end record",
          "v.S19: error: the check value 4F 15 does not match the image (50 0A)", "v.S19: warning: Version is 512"});

  Expect("$Q get skipped.S19 Region", 0, {"0\n"},
         {"warning: skipped.S19: no data record covered image bytes 30-61", "check value 4F 15 does not match"});
  Expect("$Q set skipped.S19 Region=1", 1, {}, {"--force"});
  EXPECT_EQ(ReadFileBytes(dir.File("skipped.S19")), skipped);
  EXPECT_EQ(Sh("$Q set skipped.S19 Region=1 --force").status, 0);
  EXPECT_NE(ReadFileBytes(dir.File("skipped.S19")), skipped);
  EXPECT_EQ(Sh("$Q show a.S19").err, "") << "a whole file reads without a word";
}

// Names are bytes: two names that differ only in bytes that are not UTF-8
// are two files.
TEST_F(Cli, NamesThatAreNotUtf8) {
  ASSERT_EQ(Sh("$Q set a.S19 Flags=1 -o $'a\\xff.S19' && $Q set a.S19 Flags=2 -o $'a\\xfe.S19'").status, 0);
  EXPECT_EQ(Sh("$Q get $'a\\xff.S19' Flags; $Q get $'a\\xfe.S19' Flags").out, "1\n2\n");
  EXPECT_EQ(ReadFileBytes(dir.File("a\xff.S19")).size(), 246u);
  EXPECT_EQ(Sh("$Q get $'x\\xfe.S19' Flags").status, 1);
  EXPECT_EQ(Sh("$Q set $'a\\xfe.S19' Region=3 && $Q get $'a\\xfe.S19' Region").out, "3\n");
}

// Pipes as file names and "-" for the standard streams; descriptor links,
// pipes, devices and FIFOs written in place, never renamed over; output
// that cannot be written. (FIFOs without a writer and folders are the
// reader's tests.)
TEST_F(Cli, StreamsDevicesAndOutputErrors) {
  Result r = Sh("cat a.S19 | $Q get /dev/stdin Region; $Q get <(cat a.S19) Region; $Q get - Region < a.S19");
  EXPECT_EQ(r.out, "0\n0\n0\n") << r.err;
  r = Sh("$Q new - | $Q set - Region=9 | $Q show - | grep Region");
  EXPECT_EQ(r.out, "Region = 9\n") << r.err;
  EXPECT_EQ(Sh("$Q new - > n.S19 && cmp n.S19 a.S19").status, 0);

  // ( echo log1; quillon set ... -o /dev/stdout ) >> app.log adds to the log.
  r = Sh("echo log1 > app.log; ( $Q set a.S19 Region=0 -o /dev/stdout && $Q new /proc/self/fd/1 ) >> app.log; "
         "$Q new /dev/stdout | cat > piped.S19; $Q new /dev/null && test -c /dev/null && echo null; "
         "mkfifo f; $Q new f 2>/dev/null || echo 'no reader'; timeout 10 cat f > fifo.S19 & "
         "for i in $(seq 500); do $Q new f 2>/dev/null && break || sleep 0.01; done; wait; test -p f && echo fifo");
  EXPECT_EQ(r.out, "null\nno reader\nfifo\n") << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File("app.log")), "log1\n" + kDefaultFile + kDefaultFile);
  EXPECT_EQ(ReadFileBytes(dir.File("piped.S19")), kDefaultFile);
  EXPECT_EQ(ReadFileBytes(dir.File("fifo.S19")), kDefaultFile);

  // A full disk (a file size limit for the write itself) keeps the old file.
  Expect("set -o pipefail; (ulimit -f 0; trap '' XFSZ; $Q set a.S19 Region=5) 2>&1 | cat", 1,
         {"cannot write a.S19", "(0x80020009)"});
  EXPECT_EQ(ReadFileBytes(dir.File("a.S19")), kDefaultFile);
  for (const char* command : {"$Q new /dev/full", "$Q show a.S19 > /dev/full", "$Q get a.S19 Region > /dev/full",
                              "$Q new - > /dev/full", "$Q check a.S19 > /dev/full", "$Q --help > /dev/full"})
    Expect(command, 1, {}, {"No space left"});
  EXPECT_EQ(Sh("ls").out, "a.S19\napp.log\nerr.txt\nf\nfifo.S19\nn.S19\nout.txt\npiped.S19\nregistry.txt\nscript.sh\n")
      << "nothing left behind";
}

// A failure of each kind says what failed and its status on one line, and
// writes nothing (the statuses are the component's and the dispatch
// layer's own tests').
TEST_F(Cli, FailuresNameTheStatus) {
  WriteFileBytes(dir.File("notes.txt"), "mine");
  WriteFileBytes(dir.File("bad.S19"), "S2240012004F\r\n");
  const struct {
    const char* command;
    const char* says;
  } cases[] = {
      {"$Q new /no/such/folder/a.S19", "cannot write /no/such/folder/a.S19: File not found! (0x80020009)"},
      {"$Q set a.S19 SpeedUpdate=5 FuelDiv=70000", "0x8002000A"},
      {"$Q get a.S19 'ColorBalance(3)'", "0x80070057"},
      {"$Q get a.S19 NoSuchThing", "0x80020006"},
      {"$Q get a.S19 'WriteS19(notes.txt)'", "0x80020003"},  // get reads properties only
      {"$Q show bad.S19", "bad.S19: line 1: a record holds a character that is not a hexadecimal digit (0x80004005)"},
      // An empty name is an unreadable file.
      {"$Q get '' Version", "0x80004005"},
      {"$Q set '' Region=5 -o out.S19", "0x80004005"},
      {"$Q show ''", "0x80004005"},
      {"$Q new ''", ""},
  };
  for (const auto& c : cases) {
    const Result r = Expect(c.command, 1, {}, {c.says});
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("a.S19")), kDefaultFile) << "a failed set must not write";
  EXPECT_EQ(ReadFileBytes(dir.File("notes.txt")), "mine");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.S19")));
}

TEST_F(Cli, ConcurrentSetsLoseNothing) {
  const char* props[] = {"Flags", "Region", "SplashTime", "SpeedUpdate", "CompassUpdate", "SpeedFilterThreshold",
                         "IceWarning", "ShortPressTime", "LongPressTime", "SatTime", "FuelDiv", "FuelMul",
                         "Fuel005", "RefuelWarning", "CANBaudrate", "GPSBaudrate", "TimeZoneOffset", "NMEAFlags",
                         "Debounce", "OdoDisplayTime"};
  std::string script, expected;
  for (int i = 0; i < 20; ++i) {
    script += "$Q set a.S19 " + std::string(props[i]) + "=" + std::to_string(i + 3) + " &\n";
    expected += std::to_string(i + 3) + "\n";
  }
  script += "for i in 1 2 3 4 5 6 7 8; do $Q show a.S19 > /dev/null || echo torn; done & wait\n";
  for (const char* p : props) script += "$Q get a.S19 " + std::string(p) + "\n";
  const int entries = CountEntries(dir.path());  // nothing left beside them after
  const Result r = Sh(script);
  EXPECT_EQ(r.out, expected) << r.err;
  EXPECT_EQ(CountEntries(dir.path()), entries);
}

TEST_F(Cli, Registration) {
  // Many at once all succeed, and objects are created meanwhile.
  std::string script;
  for (int i = 0; i < 12; ++i) script += "($Q register $LIB > /dev/null || echo failed) & ($Q get a.S19 Region > /dev/null || echo failed) &\n";
  Result r = Sh(script + "wait");
  EXPECT_EQ(r.out, "") << r.err;

  // A registry that cannot be saved: unregister says so.
  Expect("set -o pipefail; (ulimit -f 0; trap '' XFSZ; $Q unregister $LIB) 2>&1 | cat", 1, {"cannot save the registry"});
  EXPECT_EQ(Sh("$Q get a.S19 Region").status, 0) << "still registered";

  EXPECT_EQ(Sh("$Q unregister $LIB").status, 0);
  Expect("$Q new b.S19", 1, {}, {"quillon register", "0x800401F3"});
  EXPECT_EQ(Sh("$Q register /no/such/lib.so").status, 1);
}

// A registry that cannot be used is named with what is wrong and where.
TEST_F(Cli, RegistryProblemsAreNamed) {
  const std::string registry = dir.File("registry.txt");
  const std::string text = ReadFileBytes(registry);
  const std::string where = registry + ":" + std::to_string(std::count(text.begin(), text.end(), '\n') + 1) + ":";
  WriteFileBytes(registry, "\xEF\xBB\xBF" + text + "garbage\n");
  Result r = Sh("$Q show a.S19; $Q register $LIB");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(Has(r.err, "not registered")) << r.err;
  const std::size_t first = r.err.find(where);
  EXPECT_NE(first, std::string::npos) << r.err;
  EXPECT_NE(r.err.find(where, first + 1), std::string::npos) << "register names it too: " << r.err;
  r = Sh("chmod 666 registry.txt; $Q show a.S19");
  ExpectParts(r.err, {"chmod go-w '" + registry + "'"});
}

TEST_F(Cli, UsageAndHelp) {
  for (const char* command : {"$Q", "$Q frobnicate", "$Q get a.S19", "$Q set a.S19 Region", "$Q set a.S19 Region=1 -o",
                              "$Q show", "$Q show --bogus a.S19", "$Q diff a.S19"})
    EXPECT_EQ(Sh(command).status, 2) << command;
  for (const std::string command : {"register", "unregister", "new", "show", "get", "set", "diff", "check"})
    EXPECT_TRUE(Expect("$Q " + command + " --help", 0, {}).out.starts_with("usage: quillon " + command)) << command;
  EXPECT_EQ(Sh("$Q --help").status, 0);
  // "--" ends the options: a file may be named like one.
  EXPECT_EQ(Sh("$Q new -- -o && $Q get -- -o Region").out, "0\n");
}

// The manual page and the completion follow the program's own command list.
TEST_F(Cli, ManualPageAndCompletion) {
  Result r = Sh("groff -man -ww -z $SHARE/quillon.1 2>&1 && "
                "for c in $($Q --help | awk '/^  [a-z]/ {print $1}'); do grep -q \"^.B quillon $c\\$\" $SHARE/quillon.1 "
                "|| echo \"missing $c\"; done");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  r = Sh("PATH=$(dirname $Q):$PATH; source $SHARE/quillon.bash\n"
         "complete() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _quillon; echo \"${COMPREPLY[*]}\"; }\n"
         "complete quillon s; complete quillon get a.S19 ElementA; complete quillon set a.S19 Regi; complete quillon show a.S1");
  EXPECT_EQ(r.out, "show set\n'ElementAlignment(WIN_CLOCK)' 'ElementAlignment(WIN_COMPASS)' 'ElementAlignment(WIN_MPG)' "
                   "'ElementAlignment(WIN_FUEL)' 'ElementAlignment(WIN_INFO)'\nRegion=\na.S19\n") << r.err;
}

}  // namespace
}  // namespace quillon
