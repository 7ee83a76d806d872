// quillon: the command-line client of the Preferences component.
//
// It creates the object by its ProgID through the registry and reaches every
// property and method by name, as a script would. Exit status: 0 success,
// 1 failure (a line on stderr), 2 wrong usage; diff: 0 equal, 1 different,
// 2 trouble.
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "config_json.h"
#include "dispatch_client.h"
#include "fields.h"
#include "os.h"
#include "preferences_record.h"
#include "property_text.h"
#include "quillon_file.h"
#include "ole_text.h"
#include "s19_check.h"
#include "s19_reader.h"

namespace {

using namespace quillon;
using namespace quillon::cli;

constexpr OLECHAR kProgId[] = OLESTR("Quillon.Preferences");
constexpr std::size_t kMaxConfigBytes = std::size_t{1} << 20;

// ---- Messages and standard output ------------------------------------------------------

int Usage(const std::string& message);

// The description a failing call left on this thread (the registry's
// reason, for one), when the failure has none yet.
void AddErrorInfo(Failure& f) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return;
  BSTR text = nullptr;
  if (f.description.empty() && SUCCEEDED(info->GetDescription(&text))) f.description = ToBytes(text);
  SysFreeString(text);
  info->Release();
}

// "what: description (0x80004005)", with what the thread's error
// information adds.
std::string Describe(Failure f) {
  AddErrorInfo(f);
  std::string line = f.what;
  if (!f.description.empty()) line += ": " + f.description;
  if (f.status != S_OK) {
    char status[16];
    std::snprintf(status, sizeof status, "0x%08X", static_cast<unsigned>(f.status));
    line += std::string(" (") + status + ")";
  }
  return line;
}

int Fail(const Failure& f) {
  std::fprintf(stderr, "quillon: %s\n", Describe(f).c_str());
  return 1;
}

void Warn(const std::string& text) { std::fprintf(stderr, "quillon: warning: %s\n", text.c_str()); }

// Everything a command prints goes out here; a write that fails (a full
// disk, a closed pipe) is a failure of the command, never a silent loss.
bool Emit(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int OutputFailed() { return Fail({"cannot write to standard output", std::strerror(errno), S_OK}); }

std::string Shown(const std::string& file) {
  if (file == "-") return "standard input";
  return file.empty() ? "''" : file;
}

std::string Hex(const std::array<std::uint8_t, 2>& bytes) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X %02X", bytes[0], bytes[1]);
  return text;
}

// ---- Inputs ------------------------------------------------------------------------------

// A configuration file or stream, read once. The image check runs over the
// text; the component reads a regular file by its name and a stream (which
// cannot be read twice) from a copy in memory.
struct Input {
  std::string name;
  std::string text;
  std::string componentPath;
  file::MemoryFile copy;
};

bool ReadInput(const std::string& arg, std::size_t limit, Input& in, Failure& f) {
  file::Reader reader;
  in.name = arg;
  if (!(arg == "-" ? reader.OpenStandardInput() : reader.Open(arg, false)) || !file::ReadAll(reader, limit, &in.text)) {
    f = {"cannot read " + Shown(arg), file::ErrorText(reader.error()), E_FAIL};
    return false;
  }
  if (reader.IsRegular() && arg != "-") {
    in.componentPath = arg;
  } else if (in.copy.Create(in.text)) {
    in.componentPath = in.copy.Path();
  } else {
    f = {"cannot read " + Shown(arg), file::ErrorText(in.copy.error()), E_FAIL};
    return false;
  }
  return true;
}

// What reading skipped or could not check, in words; empty when nothing.
std::string ImageWarning(const ImageCheck& check) {
  std::string text;
  if (!check.missing.empty()) text = "no data record covered image " + DescribeRanges(check.missing) + " (read as zeros)";
  if (!check.checkValuePresent || !check.CheckValueMatches()) {
    if (!text.empty()) text += "; ";
    text += !check.checkValuePresent ? "the image's check value is missing"
                                     : "the image's check value " + Hex(check.storedCheckValue) +
                                           " does not match its bytes (" + Hex(check.computedCheckValue) + ")";
  }
  return text;
}

// Reads the input into the object and warns about what the image check
// found; `complete` tells whether every image byte came from the file.
bool Load(DispatchClient& client, const Input& in, bool* complete, Failure& f) {
  const ImageCheck check = CheckS19Text(in.text);
  if (!client.CallMethod("ReadS19", in.componentPath, f)) {
    f.what = "cannot read " + Shown(in.name);
    if (FAILED(check.readStatus)) f.description = "line " + std::to_string(check.problemLine) + ": " + check.readProblem;
    return false;
  }
  if (const std::string warning = ImageWarning(check); !warning.empty()) Warn(Shown(in.name) + ": " + warning);
  if (complete != nullptr) *complete = check.missing.empty();
  return true;
}

// ---- Outputs -----------------------------------------------------------------------------

// WriteS19 to OUT, or with "-" to standard output through a file in memory.
bool WriteTo(DispatchClient& client, const std::string& out, Failure& f) {
  if (out != "-") return client.CallMethod("WriteS19", out, f);
  file::MemoryFile copy;
  std::string text;
  if (!copy.Create("")) {
    f = {"cannot write to standard output", file::ErrorText(copy.error()), E_FAIL};
    return false;
  }
  if (!client.CallMethod("WriteS19", copy.Path(), f)) {
    f.what = "cannot write to standard output";
    return false;
  }
  if (!copy.ReadAll(&text) || !Emit(text)) {
    f = {"cannot write to standard output", std::strerror(errno), S_OK};
    return false;
  }
  return true;
}

// ---- Properties ------------------------------------------------------------------------

struct Cell {
  std::string label;  // "Region", "ElementX(WIN_FUEL)"
  std::string value;  // as FormatValue gives it
  bool isText = false;
  std::string Shown() const { return isText ? JsonString(value) : value; }
};

struct Row {
  PropertyInfo property;
  std::vector<Cell> cells;
};

// Every index of an indexed property, as text the dispatch understands and
// as it is printed.
std::vector<std::pair<std::string, std::string>> IndexesOf(const PropertyInfo& p) {
  std::vector<std::pair<std::string, std::string>> out;
  if (p.indexType == VT_INT) {
    for (int i = 0; i < 3; ++i) out.emplace_back(std::to_string(i), std::to_string(i));
  } else {
    for (const Constant& c : p.indexValues) out.emplace_back(std::to_string(c.value), c.name);
  }
  return out;
}

bool GetCell(DispatchClient& client, const std::string& name, const std::optional<std::string>& index, Cell& cell,
             Failure& f) {
  VARIANT v;
  VariantInit(&v);
  if (!client.Get(name, index, v, f)) return false;
  cell.value = FormatValue(v);
  cell.isText = v.vt == VT_BSTR;
  VariantClear(&v);
  return true;
}

bool Snapshot(DispatchClient& client, const std::vector<PropertyInfo>& props, std::vector<Row>& rows, Failure& f) {
  rows.clear();
  for (const PropertyInfo& p : props) {
    Row row{p, {}};
    if (!p.indexed) {
      row.cells.push_back({p.name, "", false});
      if (!GetCell(client, p.name, std::nullopt, row.cells.back(), f)) return false;
    } else {
      for (const auto& [index, label] : IndexesOf(p)) {
        row.cells.push_back({p.name + "(" + label + ")", "", false});
        if (!GetCell(client, p.name, index, row.cells.back(), f)) return false;
      }
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::string AsText(const std::vector<Row>& rows, const std::string& prefix) {
  std::string out;
  for (const Row& row : rows)
    for (const Cell& cell : row.cells) out += prefix + cell.label + " = " + cell.Shown() + "\n";
  return out;
}

std::string AsJson(const std::vector<Row>& rows, const std::string& indent) {
  std::string out = "{";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += (r ? ",\n" : "\n") + indent + "  " + JsonString(rows[r].property.name) + ": ";
    if (rows[r].property.indexed) out += "[";
    for (std::size_t i = 0; i < rows[r].cells.size(); ++i) out += (i ? ", " : "") + rows[r].cells[i].Shown();
    if (rows[r].property.indexed) out += "]";
  }
  return out + "\n" + indent + "}";
}

struct Session {
  std::optional<DispatchClient> client;
  std::vector<PropertyInfo> props;
};

bool Start(Session& s, Failure& f, bool withProperties = true) {
  s.client = DispatchClient::Create(kProgId, f);
  return s.client && (!withProperties || s.client->Properties(s.props, f));
}

// ---- Commands ------------------------------------------------------------------------------

// Options and operands; "--" ends the options, so a file may be named "-o".
struct Arguments {
  std::vector<std::string> operands;
  std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)

  const std::string* Option(const std::string& name) const {
    for (const auto& [n, v] : options)
      if (n == name) return &v;
    return nullptr;
  }
};

// `withValue` lists the options that take one.
std::optional<Arguments> Split(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                               const std::vector<std::string>& withValue, std::string& error) {
  Arguments out;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      const std::string name = a == "-o" ? "--output" : a;
      if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
        out.options.emplace_back(name, "");
      } else if (std::find(withValue.begin(), withValue.end(), name) != withValue.end()) {
        if (i + 1 >= args.size()) {
          error = a + " needs a value";
          return std::nullopt;
        }
        out.options.emplace_back(name, args[++i]);
      } else {
        error = "unknown option " + a;
        return std::nullopt;
      }
    } else {
      out.operands.push_back(a);
    }
  }
  return out;
}

std::string Quoted(const std::string& s) { return JsonString(s); }

int RunServerExport(const Arguments& a, bool registering) {
  if (a.operands.size() > 1) return Usage("too many arguments");
  const char* exportName = registering ? "DllRegisterServer" : "DllUnregisterServer";
  const std::string library = a.operands.empty() ? DefaultLibrary() : a.operands[0];
  HMODULE module = LoadLibraryW(ToOle(library).c_str());
  if (module == nullptr) return Fail({"cannot load " + library, "", CO_E_DLLNOTFOUND});
  // Through a plain function pointer type: FARPROC's own type differs per system.
  auto entry = reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(module, exportName)));
  if (entry == nullptr) return Fail({library + " has no " + exportName, "", CO_E_ERRORINDLL});
  if (const LONG err = BeginRegistration(); err != ERROR_SUCCESS) {
    return Fail({"cannot change the registry", "", HRESULT_FROM_WIN32(err)});
  }
  const HRESULT hr = entry();
  const LONG saved = EndRegistration();
  if (FAILED(hr)) return Fail({std::string(exportName) + " of " + library + " failed", "", hr});
  if (saved != ERROR_SUCCESS) return Fail({"cannot save the registry", "", HRESULT_FROM_WIN32(saved)});
  // DllUnregisterServer succeeds whatever happened: what counts is what the
  // registry holds now.
  CLSID clsid;
  const HRESULT found = CLSIDFromProgID(kProgId, &clsid);
  if (registering && FAILED(found)) return Fail({"the registration of " + library + " is not in the registry", "", found});
  if (!registering && found != CO_E_CLASSSTRING) {
    return Fail({"the registry still holds Quillon.Preferences after unregistering " + library, "",
                 SUCCEEDED(found) ? E_FAIL : found});
  }
  if (!Emit(std::string(registering ? "registered: " : "unregistered: ") + library + "\n")) return OutputFailed();
  return 0;
}

int New(const Arguments& a) {
  if (a.operands.size() != 1) return Usage("new takes one FILE");
  Failure f;
  Session s;
  if (!Start(s, f, false) || !WriteTo(*s.client, a.operands[0], f)) return Fail(f);
  return 0;
}

int Show(const Arguments& a) {
  if (a.operands.empty()) return Usage("show takes at least one FILE");
  const bool json = a.Option("--json") != nullptr;
  const bool several = a.operands.size() > 1;
  Failure f;
  Session s;
  if (!Start(s, f)) return Fail(f);
  int status = 0;
  std::string out = json && several ? "{" : "";
  bool first = true;
  for (const std::string& file : a.operands) {
    Input in;
    std::vector<Row> rows;
    if (!ReadInput(file, kMaxInputBytes, in, f) || !Load(*s.client, in, nullptr, f) || !Snapshot(*s.client, s.props, rows, f)) {
      status = Fail(f);  // as grep does: report, go on with the others
      continue;
    }
    if (!json) out += AsText(rows, several ? file + ":" : "");
    else if (!several) out += AsJson(rows, "") + "\n";
    else out += (first ? "\n  " : ",\n  ") + JsonString(file) + ": " + AsJson(rows, "  ");
    first = false;
  }
  if (json && several) out += "\n}\n";
  if (!Emit(out)) return OutputFailed();
  return status;
}

int Get(const Arguments& a) {
  if (a.operands.size() != 2) return Usage("get takes FILE and NAME");
  const auto ref = ParsePropertyRef(a.operands[1]);
  if (!ref) return Usage("not a property name: " + a.operands[1]);
  Failure f;
  Session s;
  Input in;
  Cell cell;
  if (!ReadInput(a.operands[0], kMaxInputBytes, in, f) || !Start(s, f, false) || !Load(*s.client, in, nullptr, f) ||
      !GetCell(*s.client, ref->name, ref->index, cell, f)) {
    return Fail(f);
  }
  if (!Emit(cell.Shown() + "\n")) return OutputFailed();
  return 0;
}

// Puts every entry of a configuration written as show --json prints it. A
// property that cannot be put (Version) must already hold the given value.
bool ApplyConfig(DispatchClient& client, const std::vector<PropertyInfo>& props, const std::string& configName,
                 const std::vector<ConfigEntry>& entries, Failure& f) {
  for (const ConfigEntry& e : entries) {
    const std::string where = configName + " line " + std::to_string(e.line) + ": ";
    const PropertyInfo* p = nullptr;
    for (const PropertyInfo& candidate : props)
      if (candidate.name == e.name) p = &candidate;
    if (p == nullptr) {
      f = {where + "no property named " + Quoted(e.name), "", DISP_E_UNKNOWNNAME};
      return false;
    }
    std::vector<std::optional<std::string>> indexes;
    if (!p->indexed) indexes.push_back(std::nullopt);
    else
      for (const auto& [index, label] : IndexesOf(*p)) indexes.push_back(index);
    if (e.isArray != p->indexed || e.values.size() != indexes.size()) {
      f = {where + e.name + (p->indexed ? " takes an array of " + std::to_string(indexes.size()) + " values"
                                        : " takes one value, not an array"), "", DISP_E_TYPEMISMATCH};
      return false;
    }
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      Cell current;
      if (!GetCell(client, p->name, indexes[i], current, f)) return false;
      const ConfigValue& v = e.values[i];
      if (v.isText != current.isText) {
        f = {where + e.name + (current.isText ? " takes a string" : " takes an integer"), "", DISP_E_TYPEMISMATCH};
        return false;
      }
      if (v.text == current.value) continue;
      if (!client.Put(p->name, indexes[i], v.text, f)) {
        if (f.status == DISP_E_MEMBERNOTFOUND) {
          f = {where + e.name + " cannot be set: the file holds " + current.Shown() + ", the configuration " +
                   (v.isText ? JsonString(v.text) : v.text), "", DISP_E_MEMBERNOTFOUND};
        } else {
          f.what = where + f.what;
        }
        return false;
      }
    }
  }
  return true;
}

int Set(const Arguments& a) {
  if (a.operands.empty()) return Usage("set takes FILE");
  const std::string* config = a.Option("--from-json");
  if (a.operands.size() < 2 && config == nullptr) return Usage("set takes NAME=VALUE... or --from-json CONFIG");
  std::vector<std::pair<PropertyRef, std::string>> assignments;
  for (std::size_t i = 1; i < a.operands.size(); ++i) {
    auto assignment = ParseAssignment(a.operands[i]);
    if (!assignment) return Usage("not NAME=VALUE: " + a.operands[i]);
    assignments.push_back(*assignment);
  }
  const std::string& file = a.operands[0];
  const std::string out = a.Option("--output") ? *a.Option("--output") : file;
  Failure f;
  std::vector<ConfigEntry> entries;
  if (config != nullptr) {
    Input in;
    std::string error;
    if (!ReadInput(*config, kMaxConfigBytes, in, f)) return Fail(f);
    if (!ParseConfig(in.text, &entries, &error)) return Fail({"cannot read " + Shown(*config), error, S_OK});
  }
  // The target stays locked from before the read to after the write, so
  // concurrent sets on one file each see the other's result.
  file::FileLock lock;
  if (out != "-" && !lock.Acquire(out, false)) return Fail({"cannot lock " + out, file::ErrorText(lock.error()), E_FAIL});
  Session s;
  Input in;
  bool complete = true;
  if (!ReadInput(file, kMaxInputBytes, in, f) || !Start(s, f, config != nullptr) || !Load(*s.client, in, &complete, f)) {
    return Fail(f);
  }
  if (!complete && a.Option("--force") == nullptr) {
    return Fail({"nothing written: part of the image was missing in " + Shown(file) +
                     " and would be written as zeros (--force writes it anyway)", "", S_OK});
  }
  if (config != nullptr && !ApplyConfig(*s.client, s.props, Shown(*config), entries, f)) return Fail(f);
  for (const auto& [ref, value] : assignments)
    if (!s.client->Put(ref.name, ref.index, value, f)) return Fail(f);
  if (!WriteTo(*s.client, out, f)) return Fail(f);
  return 0;
}

int Diff(const Arguments& a) {
  if (a.operands.size() != 2) return Usage("diff takes two FILEs");
  const bool json = a.Option("--json") != nullptr;
  Failure f;
  Session s;
  std::vector<Row> rows[2];
  if (!Start(s, f)) {
    Fail(f);
    return 2;
  }
  for (int i = 0; i < 2; ++i) {
    Input in;
    if (!ReadInput(a.operands[i], kMaxInputBytes, in, f) || !Load(*s.client, in, nullptr, f) ||
        !Snapshot(*s.client, s.props, rows[i], f)) {
      Fail(f);
      return 2;
    }
  }
  std::string out;
  int differences = 0;
  for (std::size_t r = 0; r < rows[0].size(); ++r) {
    for (std::size_t c = 0; c < rows[0][r].cells.size(); ++c) {
      const Cell& from = rows[0][r].cells[c];
      const Cell& to = rows[1][r].cells[c];
      if (from.value == to.value) continue;
      if (json) out += (differences ? ",\n  " : "\n  ") + JsonString(from.label) + ": [" + from.Shown() + ", " + to.Shown() + "]";
      else out += from.label + ": " + from.Shown() + " -> " + to.Shown() + "\n";
      ++differences;
    }
  }
  if (json) out = "{" + out + (differences ? "\n}\n" : "}\n");
  if (!Emit(out)) {
    OutputFailed();
    return 2;
  }
  return differences ? 1 : 0;
}

// A stored number as the property delivers it.
bool GetNumber(DispatchClient& client, std::string_view name, const std::optional<std::string>& index,
               std::int64_t& value, Failure& f) {
  VARIANT v, n;
  VariantInit(&v);
  VariantInit(&n);
  if (!client.Get(std::string(name), index, v, f)) return false;
  const HRESULT hr = VariantChangeType(&n, &v, 0, VT_I4);
  VariantClear(&v);
  if (FAILED(hr)) {
    f = {"cannot read " + std::string(name) + " as a number", "", hr};
    return false;
  }
  value = n.lVal;
  return true;
}

std::string NumberText(double value) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string("?");
}

// The values the editor would refuse if someone entered their fields: the
// bounds of its field checks, from the editor's own table. The object has
// read the file already.
bool OutsideEditorRanges(DispatchClient& client, const std::vector<PropertyInfo>& props,
                         std::vector<std::string>& warnings, Failure& f) {
  for (const brindle::fields::Field& field : brindle::fields::Fields()) {
    if (!field.bounds) continue;
    std::string label(field.property->name);
    std::optional<std::string> index;
    if (field.index >= 0) {
      index = std::to_string(field.index);
      std::string shownIndex = *index;
      for (const PropertyInfo& p : props) {
        if (p.name != label) continue;
        for (const Constant& c : p.indexValues)
          if (c.value == field.index) shownIndex = c.name;
      }
      label += "(" + shownIndex + ")";
    }
    std::int64_t stored = 0, switchWord = 0;
    if (!GetNumber(client, field.property->name, index, stored, f)) return false;
    if (field.switchedBy != nullptr && !GetNumber(client, field.switchedBy->name, std::nullopt, switchWord, f)) {
      return false;
    }
    const brindle::fields::StoredCheck c = brindle::fields::CheckStored(field, stored, switchWord);
    if (c.within) continue;
    const std::string unit = c.unit.empty() ? "" : " " + std::string(c.unit);
    // The editor shows some fields in other units (seconds for 1/25 s).
    const std::string shown = NumberText(c.shown);
    const std::string inEditor = shown == std::to_string(stored) ? "" : " (" + shown + unit + " in the editor)";
    warnings.push_back(label + " is " + std::to_string(stored) + inEditor + ", outside the editor's " +
                       std::to_string(c.bounds.min) + " to " + std::to_string(c.bounds.max) + unit);
  }
  return true;
}

// Reports on each file as a compiler does. The records and the check value
// need no component; the editor's ranges are read through it when it is
// registered.
int Check(const Arguments& a) {
  if (a.operands.empty()) return Usage("check takes at least one FILE");
  const PreferencesRecord usual = DefaultPreferences();
  std::string out;
  int status = 0;
  Session session;
  std::optional<Failure> componentFailure;
  for (const std::string& name : a.operands) {
    Input in;
    Failure f;
    if (!ReadInput(name, kMaxInputBytes, in, f)) {
      out += Shown(name) + ": error: " + f.description + "\n";
      status = 1;
      continue;
    }
    const ImageCheck check = CheckS19Text(in.text);
    std::vector<std::string> errors, warnings;
    if (FAILED(check.readStatus)) {
      out += Shown(name) + ":" + std::to_string(check.problemLine) + ": error: " + check.readProblem + "\n";
      status = 1;
      continue;
    }
    std::string missing;
    for (std::size_t r = 0; r < check.recordPresent.size(); ++r) {
      char address[16];
      std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(kImageAddress + r * kDataBytesPerRecord));
      if (!check.recordPresent[r]) missing += (missing.empty() ? "" : ", ") + std::string(address);
    }
    if (!missing.empty()) {
      errors.push_back("no data record at " + missing + ": image " + DescribeRanges(check.missing) + " read as zeros");
    }
    // With bytes missing the computed value says nothing new.
    if (missing.empty() && !check.CheckValueMatches()) {
      errors.push_back("the check value " + Hex(check.storedCheckValue) + " does not match the image (" +
                       Hex(check.computedCheckValue) + ")");
    }
    if (check.record.Version != usual.Version) {
      warnings.push_back("Version is " + std::to_string(check.record.Version) + ", not the usual " + std::to_string(usual.Version));
    }
    if (check.record.RecordSize != usual.RecordSize) {
      warnings.push_back("RecordSize is " + std::to_string(check.record.RecordSize) + ", not the usual " +
                         std::to_string(usual.RecordSize));
    }
    if (check.repeatedRecords > 0) {
      warnings.push_back(std::to_string(check.repeatedRecords) + " data record(s) repeat an address; the last one counts");
    }
    if (check.recordsPastImage > 0) {
      warnings.push_back(std::to_string(check.recordsPastImage) + " data record(s) past the image are ignored");
    }
    if (!session.client && !componentFailure) {
      Failure why;
      if (!Start(session, why)) componentFailure = why;
    }
    Failure why;
    if (componentFailure) {
      warnings.push_back("values not compared with the editor's ranges: " + Describe(*componentFailure));
    } else if (!session.client->CallMethod("ReadS19", in.componentPath, why) ||
               !OutsideEditorRanges(*session.client, session.props, warnings, why)) {
      warnings.push_back("values not compared with the editor's ranges: " + Describe(why));
    }
    for (const std::string& e : errors) out += Shown(name) + ": error: " + e + "\n";
    for (const std::string& w : warnings) out += Shown(name) + ": warning: " + w + "\n";
    if (errors.empty() && warnings.empty()) {
      out += Shown(name) + ": ok (data records at 0x1200, 0x1220, 0x1240; check value " + Hex(check.storedCheckValue) + ")\n";
    }
    if (!errors.empty()) status = 1;
  }
  if (!Emit(out)) return OutputFailed();
  return status;
}

// ---- The command table --------------------------------------------------------------------

struct Command {
  const char* name;
  const char* synopsis;
  const char* help;
  std::vector<std::string> flags;
  std::vector<std::string> withValue;
  int (*run)(const Arguments&);
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"register", "register [LIBRARY]",
       "Loads LIBRARY (default: the component installed beside this program) and calls its\n"
       "DllRegisterServer: the ProgIDs, the class and the type library go into the registry, as one change.\n",
       {}, {}, [](const Arguments& a) { return RunServerExport(a, true); }},
      {"unregister", "unregister [LIBRARY]",
       "Calls DllUnregisterServer of LIBRARY (default as for register) and checks that the\n"
       "registration is gone.\n",
       {}, {}, [](const Arguments& a) { return RunServerExport(a, false); }},
      {"new", "new FILE", "Writes the settings of a new object, the defaults, to FILE.\n", {}, {}, New},
      {"show", "show [--json] FILE...",
       "Reads each FILE and prints every property in interface order as 'Name = value' lines,\n"
       "or with --json as one JSON object (indexed properties as arrays). With several files,\n"
       "lines start with 'FILE:' and --json gives one object per file name.\n",
       {"--json"}, {}, Show},
      {"get", "get FILE NAME",
       "Reads FILE and prints one property as show does, e.g. BrightnessDay or ElementX(WIN_FUEL).\n", {}, {}, Get},
      {"set", "set FILE [NAME=VALUE...] [--from-json CONFIG] [-o OUT] [--force]",
       "Reads FILE, puts the values of CONFIG (as show --json prints them; unknown names are\n"
       "refused, missing ones left alone), then each NAME=VALUE in order, and writes the result\n"
       "to OUT (default: FILE), which stays locked meanwhile. Values are converted by the\n"
       "component's dispatch; nothing is written when any of them fails, nor when part of the\n"
       "image was missing in FILE unless --force is given.\n",
       {"--force"}, {"--output", "--from-json"}, Set},
      {"diff", "diff [--json] A B",
       "Prints the properties that differ, one line each ('Name: a -> b'), or with --json an\n"
       "object of [a, b] pairs. Exit status 0 when equal, 1 when different, 2 on trouble.\n",
       {"--json"}, {}, Diff},
      {"check", "check FILE...",
       "Checks each FILE: damaged records (with the line), missing data records, the image's\n"
       "check value (errors), an unusual Version or RecordSize, repeated records or records past\n"
       "the image, values the editor's field checks would refuse (warnings). Exit status 1 when\n"
       "any file has an error.\n",
       {}, {}, Check},
  };
  return commands;
}

std::string Overview() {
  std::string text = "usage: quillon COMMAND [ARGS]\n\n";
  for (const Command& c : Commands()) text += std::string("  ") + c.synopsis + "\n";
  text +=
      "\nFILE and CONFIG may be '-' for standard input, OUT '-' for standard output.\n"
      "NAME is a property as the interface spells it; an indexed one carries its index:\n"
      "ColorBalance(2), ElementX(3) or ElementX(WIN_FUEL).\n"
      "The registry is $QUILLON_REGISTRY, or registry.txt under $XDG_CONFIG_HOME/quillon.\n"
      "Run 'quillon COMMAND --help' for one command; 'man quillon' for all.\n";
  return text;
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n%s", message.c_str(), Overview().c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = CommandWords(argc, argv);
  if (args.empty()) return Usage("no command");
  const std::string name = args[0];
  args.erase(args.begin());
  if (name == "--help" || name == "-h" || name == "help") return Emit(Overview()) ? 0 : OutputFailed();
  for (const Command& command : Commands()) {
    if (name != command.name) continue;
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
      return Emit(std::string("usage: quillon ") + command.synopsis + "\n" + command.help) ? 0 : OutputFailed();
    }
    std::string error;
    const auto split = Split(args, command.flags, command.withValue, error);
    if (!split) return Usage(error);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SetErrorInfo(0, nullptr);  // what a failure leaves there is then about this command
    const int status = command.run(*split);
    CoUninitialize();
    return status;
  }
  return Usage("unknown command: " + name);
}
