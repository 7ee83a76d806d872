// quillon: the command-line client of the Preferences component.
//
// It creates the object by its ProgID through the registry and reaches every
// property and method by name, as a script would. Exit status: 0 success,
// 1 failure (one line on stderr), 2 wrong usage.
#include <objbase.h>
#include <oleauto.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "property_text.h"
#include "quillon_text.h"

namespace {

using namespace quillon::cli;

constexpr char16_t kProgId[] = u"Quillon.Preferences";

const char kUsage[] =
    "usage: quillon COMMAND [ARGS]\n"
    "\n"
    "  register [LIBRARY]         load LIBRARY (default: the installed component) and register it\n"
    "  unregister [LIBRARY]       remove the component's registration\n"
    "  new FILE                   write a new object's settings (the defaults) to FILE\n"
    "  show [--json] FILE         read FILE and print every property, in interface order\n"
    "  get FILE NAME              print one property\n"
    "  set FILE NAME=VALUE... [-o OUT]\n"
    "                             read FILE, put each value in order, write to OUT (default FILE)\n"
    "\n"
    "NAME is a property as the interface spells it; an indexed one carries its index:\n"
    "ColorBalance(2), ElementX(3) or ElementX(WIN_FUEL).\n"
    "The registry is $QUILLON_REGISTRY, or registry.txt under $XDG_CONFIG_HOME/quillon.\n"
    "Run 'quillon COMMAND --help' for one command.\n";

struct CommandHelp {
  const char* name;
  const char* text;
};

constexpr CommandHelp kHelp[] = {
    {"register",
     "usage: quillon register [LIBRARY]\n"
     "Loads LIBRARY (default: the component installed beside this program) and calls its\n"
     "DllRegisterServer: the ProgIDs, the class and the type library go into the registry.\n"},
    {"unregister", "usage: quillon unregister [LIBRARY]\nCalls DllUnregisterServer of LIBRARY (default as for register).\n"},
    {"new", "usage: quillon new FILE\nWrites the settings of a new object, the defaults, to FILE.\n"},
    {"show",
     "usage: quillon show [--json] FILE\n"
     "Reads FILE and prints every property in interface order as 'Name = value' lines,\n"
     "or with --json as one JSON object (indexed properties as arrays).\n"},
    {"get", "usage: quillon get FILE NAME\nReads FILE and prints one property, e.g. BrightnessDay or ElementX(WIN_FUEL).\n"},
    {"set",
     "usage: quillon set FILE NAME=VALUE... [-o OUT]\n"
     "Reads FILE, puts each value in the order given and writes the result to OUT\n"
     "(default: FILE). Values are passed as typed and converted by the component's\n"
     "dispatch; nothing is written when any of them fails.\n"},
};

int Usage(const char* message = nullptr) {
  if (message) std::fprintf(stderr, "quillon: %s\n", message);
  std::fputs(kUsage, stderr);
  return 2;
}

int Fail(const Failure& f) {
  std::string line = "quillon: " + f.what;
  if (!f.description.empty()) line += ": " + f.description;
  char status[16];
  std::snprintf(status, sizeof status, "0x%08X", static_cast<unsigned>(f.status));
  std::fprintf(stderr, "%s (%s)\n", line.c_str(), status);
  return 1;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

// The component beside this program: ../lib/libQuillon.so, the same in the
// build tree and in an installation.
std::string DefaultLibrary() {
  const std::string relative = "../" QUILLON_INSTALL_LIBDIR "/libQuillon.so";
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return relative;
  return (exe.parent_path() / relative).lexically_normal().string();
}

int RunServerExport(const std::vector<std::string>& args, const char* exportName) {
  if (args.size() > 1) return Usage("too many arguments");
  const std::string library = args.empty() ? DefaultLibrary() : args[0];
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) return Fail({"cannot load " + library, "", CO_E_DLLNOTFOUND});
  auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, exportName));
  if (entry == nullptr) return Fail({library + " has no " + exportName, "", CO_E_ERRORINDLL});
  const HRESULT hr = entry();
  if (FAILED(hr)) return Fail({std::string(exportName) + " of " + library + " failed", "", hr});
  std::printf("%s: %s\n", exportName[3] == 'R' ? "registered" : "unregistered", library.c_str());
  return 0;
}

std::optional<DispatchClient> Open(const std::string& file, Failure& failure) {
  auto client = DispatchClient::Create(kProgId, failure);
  if (client && !file.empty() && !client->CallMethod("ReadS19", file, failure)) return std::nullopt;
  return client;
}

int New(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("new takes one FILE");
  Failure f;
  auto client = Open("", f);
  if (!client || !client->CallMethod("WriteS19", args[0], f)) return Fail(f);
  return 0;
}

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

int Show(std::vector<std::string> args) {
  bool json = false;
  if (!args.empty() && args[0] == "--json") {
    json = true;
    args.erase(args.begin());
  }
  if (args.size() != 1) return Usage("show takes one FILE");
  Failure f;
  auto client = Open(args[0], f);
  std::vector<PropertyInfo> props;
  if (!client || !client->Properties(props, f)) return Fail(f);

  std::string out = json ? "{" : "";
  bool first = true;
  for (const PropertyInfo& p : props) {
    std::vector<std::pair<std::string, VARIANT>> values;
    if (!p.indexed) values.emplace_back("", VARIANT{});
    else
      for (auto& [index, label] : IndexesOf(p)) values.emplace_back(index, VARIANT{});
    for (auto& [index, value] : values) {
      const std::optional<std::string> arg = index.empty() ? std::nullopt : std::optional<std::string>(index);
      if (!client->Get(p.name, arg, value, f)) return Fail(f);
    }
    if (json) {
      out += std::string(first ? "\n  " : ",\n  ") + JsonString(p.name) + ": ";
      if (p.indexed) out += "[";
      for (std::size_t i = 0; i < values.size(); ++i) {
        const VARIANT& v = values[i].second;
        out += (i ? ", " : "") + (v.vt == VT_BSTR ? JsonString(FormatValue(v)) : FormatValue(v));
      }
      if (p.indexed) out += "]";
    } else {
      const auto labels = p.indexed ? IndexesOf(p) : std::vector<std::pair<std::string, std::string>>{};
      for (std::size_t i = 0; i < values.size(); ++i) {
        const VARIANT& v = values[i].second;
        const std::string name = p.indexed ? p.name + "(" + labels[i].second + ")" : p.name;
        out += name + " = " + (v.vt == VT_BSTR ? "\"" + FormatValue(v) + "\"" : FormatValue(v)) + "\n";
      }
    }
    first = false;
    for (auto& [index, value] : values) VariantClear(&value);
  }
  if (json) out += "\n}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

int Get(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("get takes FILE and NAME");
  const auto ref = ParsePropertyRef(args[1]);
  if (!ref) return Usage(("not a property name: " + args[1]).c_str());
  Failure f;
  auto client = Open(args[0], f);
  VARIANT value;
  VariantInit(&value);
  if (!client || !client->Get(ref->name, ref->index, value, f)) return Fail(f);
  std::printf("%s\n", FormatValue(value).c_str());
  VariantClear(&value);
  return 0;
}

int Set(std::vector<std::string> args) {
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "--output") {
      if (i + 1 >= args.size()) return Usage("-o needs a file");
      out = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  if (args.size() < 2) return Usage("set takes FILE and at least one NAME=VALUE");
  std::vector<std::pair<PropertyRef, std::string>> assignments;
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto a = ParseAssignment(args[i]);
    if (!a) return Usage(("not NAME=VALUE: " + args[i]).c_str());
    assignments.push_back(*a);
  }
  if (out.empty()) out = args[0];
  Failure f;
  auto client = Open(args[0], f);
  if (!client) return Fail(f);
  for (const auto& [ref, value] : assignments)
    if (!client->Put(ref.name, ref.index, value, f)) return Fail(f);
  if (!client->CallMethod("WriteS19", out, f)) return Fail(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const CommandHelp& h : kHelp) {
    if (command == h.name && WantsHelp(args)) {
      std::fputs(h.text, stdout);
      return 0;
    }
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  int status;
  if (command == "register") status = RunServerExport(args, "DllRegisterServer");
  else if (command == "unregister") status = RunServerExport(args, "DllUnregisterServer");
  else if (command == "new") status = New(args);
  else if (command == "show") status = Show(args);
  else if (command == "get") status = Get(args);
  else if (command == "set") status = Set(args);
  else status = Usage(("unknown command: " + command).c_str());
  CoUninitialize();
  return status;
}
