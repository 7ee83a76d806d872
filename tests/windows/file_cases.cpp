// The file layer on Windows, checked under Wine in an empty folder: a file
// is replaced whole or not at all, failures say why, streams and locks work.
// Standard input is to hold "standard input" and CR LF. Prints each failed
// check and exits 1 when any failed.
#include <cstdio>
#include <string>

#include "quillon_file.h"

using namespace quillon::file;

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++failures;
  }
}

std::string Read(const std::string& path) {
  Reader reader;
  std::string text;
  if (!reader.Open(path, true) || !ReadAll(reader, 1000, &text)) return "<unreadable>";
  return text;
}

}  // namespace

int main() {
  Check(Replace("a.S19", "first\r\n", 0666).status == WriteStatus::kWritten, "a new file is written");
  Check(Read("a.S19") == "first\r\n", "the bytes come back as written, CR LF included");
  Stamp before, after;
  Check(StampOf("a.S19", &before), "a file has a stamp");
  Check(Replace("a.S19", "second", 0666).status == WriteStatus::kWritten, "an existing file is replaced");
  Check(Read("a.S19") == "second", "the replaced file holds the new bytes");
  Check(StampOf("a.S19", &after) && !(after == before), "a replaced file has a new stamp");

  const WriteOutcome missing = Replace("no-such-folder\\a.S19", "x", 0666);
  Check(missing.status == WriteStatus::kCannotCreate && ErrorText(missing.error) == "No such file or directory",
        "a missing folder cannot be written to, and says so");
  Check(Replace(".", "x", 0666).status == WriteStatus::kCannotCreate, "a folder is not replaced");

  Reader folder;
  Check(!folder.Open(".", false) && ErrorText(folder.error()) == "Is a directory", "a folder is not read");
  Reader absent;
  Check(!absent.Open("absent.S19", false) && ErrorText(absent.error()) == "No such file or directory",
        "a missing file is not read");
  Reader small;
  std::string text;
  Check(small.Open("a.S19", true) && !ReadAll(small, 3, &text), "input beyond the bound is refused");

  Reader input;
  Check(input.OpenStandardInput() && ReadAll(input, 1000, &text) && text == "standard input\r\n",
        "standard input redirected from a file is read as it is");

  MemoryFile memory;
  Check(memory.Create("in memory") && !memory.Path().empty(), "a memory file has a name");
  Check(Read(memory.Path()) == "in memory", "a memory file reads by its name");
  Check(Replace(memory.Path(), "written by name", 0666).status == WriteStatus::kWritten &&
            memory.ReadAll(&text) && text == "written by name",
        "writing to a memory file's name writes into it");

  FileLock lock;
  Check(lock.Acquire("a.S19.lock", true) && lock.held(), "a lock is taken");
  Check(Replace("a.S19", "while locked", 0666).status == WriteStatus::kWritten, "a locked neighbour does not stop a write");
  FileLock none;
  Check(none.Acquire("nothing.lock", false) && !none.held(), "a missing file is not locked without create");

  std::printf("file cases: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
