// The registry: a tree of keys with string values, kept in a text file.
//
// File format (UTF-8), one section per key, like this:
//
//   ; Quillon registry
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="/opt/quillon/libQuillon.so"
//   "ThreadingModel"="Both"
//
// "@" is the key's default value. In quoted text, \\ \" \n \r \t are escapes.
// Every key has its own section, so empty keys survive a save.
//
// The file decides which code activation loads, so nothing here trusts it:
// it must be a regular file of at most kMaxFileBytes that only its owner (this
// user or the administrator) can change, in folders only they can change;
// keys nest at most kMaxDepth deep; the paths of code (InprocServer32, a type
// library's file) must be absolute. A file that breaks a rule is refused
// with a sentence naming the file, the line and the fix, left on the
// calling thread's error information (GetErrorInfo).
//
// The process keeps a parsed copy of the file and the file's stamp; a read
// reparses when the file has changed. A change locks the registry file,
// rereads it, applies itself and replaces the file atomically (written
// through a symbolic link). QuillonRegistryBeginUpdate keeps the file locked
// across many changes, which are then saved once. Open keys are handles to
// a path, not to memory, so they stay valid across reloads; a handle whose
// key has been deleted gives ERROR_KEY_DELETED.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"
#include "oleauto.h"
#include "quillon_file.h"
#include "quillon_registry.h"

namespace quillon::platform {
namespace {

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr int kRootCount = 4;
constexpr int kClassesRoot = 0;

// Far more than any registration needs, far less than what would exhaust
// memory or the stack.
constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxFileBytes = std::size_t{4} << 20;

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = FoldAscii(c);
  return out;
}

struct Value {
  std::u16string name;  // as first set
  std::u16string data;
};

// Keyed by folded name.
struct Node {
  std::u16string name;  // as created
  std::map<std::u16string, Value, std::less<>> values;
  std::map<std::u16string, std::unique_ptr<Node>, std::less<>> children;

  Node* Child(std::u16string_view n) const {
    auto it = children.find(Fold(n));
    return it == children.end() ? nullptr : it->second.get();
  }
};

struct Tree {
  Node roots[kRootCount];
};

struct OpenKey {
  int root;
  std::vector<std::u16string> path;
};

using Path = std::vector<std::u16string>;

// ---- Keys and paths ---------------------------------------------------------------

Path SplitPath(std::u16string_view path) {
  Path parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool ValidKeyName(std::u16string_view name) {
  if (name.empty() || name.size() > 255) return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == u'\\') return false;
  }
  return true;
}

bool ValidSubPath(const Path& parts) {
  for (const auto& part : parts) {
    if (!ValidKeyName(part)) return false;
  }
  return true;
}

Node* Descend(Node* node, const Path& path, bool create, bool* created = nullptr) {
  for (const auto& part : path) {
    Node* child = node->Child(part);
    if (child == nullptr) {
      if (!create) return nullptr;
      auto fresh = std::make_unique<Node>();
      fresh->name = part;
      child = fresh.get();
      node->children.emplace(Fold(part), std::move(fresh));
      if (created) *created = true;
    }
    node = child;
  }
  return node;
}

// The values that name code to load: a class's InprocServer32 and a type
// library's file (TypeLib\{id}\version\locale\system). They must be absolute,
// or the loader would search for them wherever it searches.
bool NamesCode(int root, const Path& path, std::u16string_view valueName) {
  if (!valueName.empty() || path.empty()) return false;
  if (EqualsNoCase(path.back(), u"InprocServer32")) return true;
  return root == kClassesRoot && path.size() == 5 && EqualsNoCase(path[0], u"TypeLib");
}

bool AcceptableCodePath(std::u16string_view data) { return data.empty() || data[0] == u'/'; }

// ---- Text format ----------------------------------------------------------------

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (char c : Utf16ToUtf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out.push_back(c);
    }
  }
  out.push_back('"');
}

// Recursion stays within kMaxDepth: no deeper tree is ever built.
void WriteNode(std::string& out, const std::string& path, const Node& node, bool isRoot) {
  if (!isRoot || !node.values.empty()) {
    out += "[" + path + "]\n";
    auto def = node.values.find(u"");
    if (def != node.values.end()) {
      out += "@=";
      AppendQuoted(out, def->second.data);
      out += "\n";
    }
    for (const auto& [folded, value] : node.values) {
      if (folded.empty()) continue;
      AppendQuoted(out, value.name);
      out += "=";
      AppendQuoted(out, value.data);
      out += "\n";
    }
    out += "\n";
  }
  for (const auto& [folded, child] : node.children) {
    WriteNode(out, path + "\\" + Utf16ToUtf8(child->name), *child, false);
  }
}

std::string Serialize(const Tree& tree) {
  std::string out = "; Quillon registry. One section per key; @ is the default value.\n\n";
  for (int r = 0; r < kRootCount; ++r) {
    WriteNode(out, kRootNames[r], tree.roots[r], true);
  }
  return out;
}

// Parses a quoted string at s[i]; advances i past the closing quote.
bool ParseQuoted(std::string_view s, std::size_t& i, std::u16string* out) {
  if (i >= s.size() || s[i] != '"') return false;
  std::string raw;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      Utf8ToUtf16(raw, out);
      return true;
    }
    if (c == '\\') {
      if (++i >= s.size()) return false;
      switch (s[i]) {
        case '\\': raw.push_back('\\'); break;
        case '"': raw.push_back('"'); break;
        case 'n': raw.push_back('\n'); break;
        case 'r': raw.push_back('\r'); break;
        case 't': raw.push_back('\t'); break;
        default: return false;
      }
    } else {
      raw.push_back(c);
    }
  }
  return false;
}

struct ParseError {
  std::size_t line = 0;
  std::string message;
};

// A section header's path, "ROOT\Key\Sub": its root and the key's path.
bool ParseSection(std::string_view text, int* root, Path* path, std::string* why) {
  *path = SplitPath(Utf8ToUtf16(text));
  if (path->empty()) {
    *why = "a section without a key";
    return false;
  }
  *root = -1;
  for (int r = 0; r < kRootCount; ++r) {
    if (EqualsNoCase(path->front(), Utf8ToUtf16(kRootNames[r]))) *root = r;
  }
  if (*root < 0) {
    *why = "a key outside HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_USERS";
    return false;
  }
  path->erase(path->begin());
  if (path->size() > kMaxDepth) {
    *why = "keys nested more than " + std::to_string(kMaxDepth) + " deep";
    return false;
  }
  if (!ValidSubPath(*path)) {
    *why = "a key name longer than 255 characters or holding a control character";
    return false;
  }
  return true;
}

bool Parse(std::string_view text, Tree* tree, ParseError* error) {
  // A byte-order mark, as some editors write, is not part of the text.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Node* current = nullptr;
  int root = 0;
  Path path;
  std::size_t pos = 0;
  auto fail = [&](std::string message) {
    error->message = std::move(message);
    return false;
  };
  for (error->line = 1; pos < text.size(); ++error->line) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail("a section header without its closing ']'");
      std::string why;
      if (!ParseSection(line.substr(1, line.size() - 2), &root, &path, &why)) return fail(why);
      current = Descend(&tree->roots[root], path, true);
      continue;
    }
    if (current == nullptr) return fail("a value before the first section header");
    std::size_t i = 0;
    std::u16string name, data;
    if (line[0] == '@') {
      i = 1;
    } else if (!ParseQuoted(line, i, &name) || name.empty()) {
      return fail("neither a section header, a value (\"name\"=\"text\" or @=\"text\") nor a comment (;)");
    }
    if (i >= line.size() || line[i] != '=' || !ParseQuoted(line, ++i, &data) || i != line.size()) {
      return fail("a value that is not \"name\"=\"text\" or @=\"text\" (escapes: \\\\ \\\" \\n \\r \\t)");
    }
    if (NamesCode(root, path, name) && !AcceptableCodePath(data)) {
      return fail("a relative path for code to load (" + Utf16ToUtf8(data) + "); give it from the root (/...)");
    }
    // A name given twice: the later line wins, spelling included.
    current->values.insert_or_assign(Fold(name), Value{name, std::move(data)});
  }
  return true;
}

// ---- The registry object ----------------------------------------------------------

std::string RegistryPath() {
  if (const char* env = std::getenv("QUILLON_REGISTRY"); env && *env) {
    return env;
  }
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
    }
    base = std::filesystem::path(home ? home : ".") / ".config";
  }
  return (base / "quillon" / "registry.txt").string();
}

// The folders above the file, made private to this user where they are new.
void MakeFolders(const std::string& file) {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (folder.empty() || std::filesystem::exists(folder, ec)) return;
  MakeFolders(folder.string());
  if (std::filesystem::create_directory(folder, ec)) {
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
  }
}

// Leaves a description of a failure on the calling thread's error
// information, where a client finds it with GetErrorInfo.
LONG Problem(LONG code, const std::string& text) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    const std::u16string description = Utf8ToUtf16(text);
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(u"Quillon registry"));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return code;
}

class Registry {
 public:
  static Registry& Instance() {
    // Never destroyed: handles may be closed from static destructors.
    static Registry* instance = new Registry();
    return *instance;
  }

  // Runs fn(tree) on an up-to-date copy for reading.
  // Inside an update the copy in memory is the newest there is.
  template <class Fn>
  LONG Read(Fn&& fn) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (updates_ == 0) {
      if (LONG err = Refresh(false); err != ERROR_SUCCESS) return err;
    }
    return fn(*tree_);
  }

  // Runs fn(tree, &changed) on a freshly loaded copy with the file locked,
  // and saves the result when fn succeeded and reported a change. Inside an
  // update the file is locked already and the save waits for its end.
  template <class Fn>
  LONG Write(Fn&& fn) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (updates_ > 0) {
      bool changed = false;
      const LONG result = fn(*tree_, &changed);
      dirty_ = dirty_ || changed;
      return result;
    }
    if (LONG err = Lock(); err != ERROR_SUCCESS) return err;
    bool changed = false;
    LONG result = fn(*tree_, &changed);
    if (result == ERROR_SUCCESS && changed) result = Save();
    lock_.Release();
    return result;
  }

  LONG BeginUpdate() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (updates_ > 0) {
      ++updates_;
      return ERROR_SUCCESS;
    }
    if (LONG err = Lock(); err != ERROR_SUCCESS) return err;
    updates_ = 1;
    dirty_ = false;
    return ERROR_SUCCESS;
  }

  LONG EndUpdate() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (updates_ == 0) return ERROR_INVALID_PARAMETER;
    if (--updates_ > 0) return ERROR_SUCCESS;
    const LONG result = dirty_ ? Save() : ERROR_SUCCESS;
    dirty_ = false;
    lock_.Release();
    return result;
  }

  HKEY NewHandle(int root, Path path) {
    // Called with mutex_ held (from inside Read/Write).
    const ULONG_PTR id = nextHandle_++;
    handles_[id] = OpenKey{root, std::move(path)};
    return reinterpret_cast<HKEY>(id);
  }

  // The key a handle refers to; nullopt for an unknown handle.
  std::optional<OpenKey> Resolve(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value < 0x80000000u + kRootCount) {
      return OpenKey{static_cast<int>(value - 0x80000000u), {}};
    }
    auto it = handles_.find(value);
    if (it == handles_.end()) return std::nullopt;
    return it->second;
  }

  LONG Close(HKEY key) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value < 0x80000000u + kRootCount) return ERROR_SUCCESS;
    return handles_.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  }

 private:
  // Locks the file (making it, and its folders, when there is none yet)
  // and loads it afresh.
  LONG Lock() {
    const std::string path = RegistryPath();
    if (std::string unsafe = file::TrustProblem(path, "registry file"); !unsafe.empty()) {
      return Problem(ERROR_ACCESS_DENIED, "refusing the registry: " + unsafe);
    }
    MakeFolders(path);
    if (!lock_.Acquire(path, true)) {
      return Problem(ERROR_ACCESS_DENIED,
                     "cannot lock the registry file '" + path + "': " + file::ErrorText(lock_.error()));
    }
    const LONG result = Refresh(true);
    if (result != ERROR_SUCCESS) lock_.Release();
    return result;
  }

  // Brings tree_ up to date with the file. `force` rereads even when the
  // file looks unchanged (used under the file lock).
  LONG Refresh(bool force) {
    const std::string path = RegistryPath();
    file::Stamp now;
    const bool exists = file::StampOf(path, &now);
    if (!force && tree_ && path == path_ && exists == exists_ && (!exists || now == stamp_)) {
      return ERROR_SUCCESS;
    }
    tree_.reset();
    auto fresh = std::make_unique<Tree>();
    file::Reader reader;
    std::string text;
    const bool opened = reader.Open(path, true);
    if (!opened && reader.error() != ENOENT) {
      return Problem(ERROR_CANTREAD, "cannot read the registry file '" + path + "': " + file::ErrorText(reader.error()));
    }
    if (std::string unsafe = file::TrustProblem(path, "registry file"); !unsafe.empty()) {
      return Problem(ERROR_CANTREAD, "refusing the registry: " + unsafe);
    }
    if (!opened) {
      // No file yet: an empty registry.
    } else if (!file::ReadAll(reader, kMaxFileBytes, &text)) {
      const std::string why = reader.error() == EFBIG ? "larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB"
                                                      : file::ErrorText(reader.error());
      return Problem(ERROR_CANTREAD, "cannot read the registry file '" + path + "': " + why);
    } else if (ParseError error; !Parse(text, fresh.get(), &error)) {
      return Problem(ERROR_REGISTRY_CORRUPT,
                     path + ":" + std::to_string(error.line) + ": " + error.message + "; correct or remove that line");
    }
    tree_ = std::move(fresh);
    path_ = path;
    exists_ = reader.error() != ENOENT;
    stamp_ = reader.stamp();
    return ERROR_SUCCESS;
  }

  LONG Save() {
    const std::string text = Serialize(*tree_);
    file::WriteOutcome outcome{file::WriteStatus::kFailed, EFBIG, "write"};
    if (text.size() <= kMaxFileBytes) outcome = file::Replace(path_, text, 0600);
    if (outcome.status != file::WriteStatus::kWritten) {
      tree_.reset();  // what is in memory is not what is in the file
      return Problem(ERROR_CANTWRITE, "cannot save the registry file '" + path_ + "': " + file::ErrorText(outcome.error));
    }
    exists_ = file::StampOf(path_, &stamp_);
    return ERROR_SUCCESS;
  }

  std::mutex mutex_;
  std::unique_ptr<Tree> tree_;
  std::string path_;
  bool exists_ = false;
  file::Stamp stamp_;
  file::FileLock lock_;
  int updates_ = 0;  // nesting of BeginUpdate
  bool dirty_ = false;
  std::map<ULONG_PTR, OpenKey> handles_;
  ULONG_PTR nextHandle_ = 0x1000;
};

// The node of an open key plus a relative path; sets *err when missing.
Node* Locate(Tree& tree, const OpenKey& key, const Path& sub, LONG* err) {
  Node* base = Descend(&tree.roots[key.root], key.path, false);
  if (base == nullptr) {
    *err = ERROR_KEY_DELETED;
    return nullptr;
  }
  Node* node = Descend(base, sub, false);
  if (node == nullptr) *err = ERROR_FILE_NOT_FOUND;
  return node;
}

Path Join(const OpenKey& key, const Path& sub) {
  Path all = key.path;
  all.insert(all.end(), sub.begin(), sub.end());
  return all;
}

// Names along the path as the tree spells them.
Path Canonical(Tree& tree, int root, const Path& path) {
  Path out;
  Node* node = &tree.roots[root];
  for (const auto& part : path) {
    node = node ? node->Child(part) : nullptr;
    out.push_back(node ? node->name : part);
  }
  return out;
}

}  // namespace

LONG ReadRegString(HKEY root, std::u16string_view path, std::u16string_view name,
                   std::u16string* value) {
  HKEY key = nullptr;
  const std::u16string p(path);
  LONG err = RegOpenKeyExW(root, p.c_str(), 0, KEY_READ, &key);
  if (err != ERROR_SUCCESS) return err;
  const std::u16string n(name);
  DWORD size = 0;
  DWORD type = 0;
  err = RegQueryValueExW(key, n.c_str(), nullptr, &type, nullptr, &size);
  if (err == ERROR_SUCCESS) {
    std::u16string buffer(size / sizeof(char16_t) + 1, u'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(char16_t));
    err = RegQueryValueExW(key, n.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size);
    if (err == ERROR_SUCCESS) {
      buffer.resize(std::u16string_view(buffer.c_str()).size());
      *value = std::move(buffer);
    }
  }
  RegCloseKey(key);
  return err;
}

LONG WriteRegString(HKEY root, std::u16string_view path, std::u16string_view name,
                    std::u16string_view value) {
  HKEY key = nullptr;
  const std::u16string p(path);
  LONG err = RegCreateKeyExW(root, p.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
  if (err != ERROR_SUCCESS) return err;
  const std::u16string n(name);
  const std::u16string v(value);
  err = RegSetValueExW(key, n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                       static_cast<DWORD>((v.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return err;
}

}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*Reserved*/, LPWSTR /*lpClass*/,
                        DWORD /*dwOptions*/, REGSAM /*samDesired*/,
                        LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                        LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  const auto sub = SplitPath(View(lpSubKey));
  if (!ValidSubPath(sub)) return ERROR_INVALID_PARAMETER;
  Registry& reg = Registry::Instance();
  return reg.Write([&](Tree& tree, bool* changed) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (key->path.size() + sub.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
    Node* base = Descend(&tree.roots[key->root], key->path, false);
    if (base == nullptr) return ERROR_KEY_DELETED;
    bool created = false;
    Descend(base, sub, true, &created);
    *changed = created;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = reg.NewHandle(key->root, Canonical(tree, key->root, Join(*key, sub)));
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, phkResult,
                         nullptr);
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM /*samDesired*/,
                      PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  const auto sub = SplitPath(View(lpSubKey));
  Registry& reg = Registry::Instance();
  return reg.Read([&](Tree& tree) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    if (Locate(tree, *key, sub, &err) == nullptr) return err;
    *phkResult = reg.NewHandle(key->root, Canonical(tree, key->root, Join(*key, sub)));
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY hKey) { return Registry::Instance().Close(hKey); }

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
  if (dwType != REG_SZ && dwType != REG_EXPAND_SZ) return ERROR_INVALID_PARAMETER;
  if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  std::u16string data(cbData / sizeof(char16_t), u'\0');
  if (!data.empty()) std::memcpy(data.data(), lpData, data.size() * sizeof(char16_t));
  data.resize(std::u16string_view(data.c_str()).size());  // up to the first NUL
  const std::u16string name(View(lpValueName));
  Registry& reg = Registry::Instance();
  return reg.Write([&](Tree& tree, bool* changed) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    Node* node = Locate(tree, *key, {}, &err);
    if (node == nullptr) return err;
    if (NamesCode(key->root, key->path, name) && !AcceptableCodePath(data)) return ERROR_BAD_PATHNAME;
    const std::u16string folded = Fold(name);
    auto it = node->values.find(folded);
    if (it == node->values.end()) {
      node->values.emplace(folded, Value{name, data});
      *changed = true;
    } else if (it->second.data != data) {
      it->second.data = data;
      *changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD /*lpReserved*/, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData) {
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  const std::u16string folded = Fold(View(lpValueName));
  Registry& reg = Registry::Instance();
  return reg.Read([&](Tree& tree) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    Node* node = Locate(tree, *key, {}, &err);
    if (node == nullptr) return err;
    auto it = node->values.find(folded);
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    const std::u16string& data = it->second.data;
    const DWORD needed = static_cast<DWORD>((data.size() + 1) * sizeof(char16_t));
    if (lpType) *lpType = REG_SZ;
    if (lpData == nullptr) {
      if (lpcbData) *lpcbData = needed;
      return ERROR_SUCCESS;
    }
    if (*lpcbData < needed) {
      *lpcbData = needed;
      return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, data.c_str(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  const std::u16string folded = Fold(View(lpValueName));
  Registry& reg = Registry::Instance();
  return reg.Write([&](Tree& tree, bool* changed) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    Node* node = Locate(tree, *key, {}, &err);
    if (node == nullptr) return err;
    if (node->values.erase(folded) == 0) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
}

namespace {

// Deletes hKey\lpSubKey; `tree` allows subkeys below it.
LSTATUS DeleteKey(HKEY hKey, LPCWSTR lpSubKey, bool tree) {
  const auto sub = SplitPath(View(lpSubKey));
  Registry& reg = Registry::Instance();
  return reg.Write([&](Tree& t, bool* changed) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    Node* node = Locate(t, *key, sub, &err);
    if (node == nullptr) return err;
    if (tree && sub.empty()) {  // empty the key, keep it
      *changed = !node->values.empty() || !node->children.empty();
      node->values.clear();
      node->children.clear();
      return ERROR_SUCCESS;
    }
    const auto full = Join(*key, sub);
    if (full.empty()) return ERROR_ACCESS_DENIED;  // a root
    if (!tree && !node->children.empty()) return ERROR_ACCESS_DENIED;
    Node* parent = Descend(&t.roots[key->root],
                           Path(full.begin(), full.end() - 1), false);
    parent->children.erase(Fold(full.back()));
    *changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, lpSubKey, false);
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) { return DeleteKey(hKey, lpSubKey, true); }

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                      LPDWORD /*lpReserved*/, LPWSTR lpClass, LPDWORD lpcchClass,
                      PFILETIME lpftLastWriteTime) {
  if (lpName == nullptr || lpcchName == nullptr) return ERROR_INVALID_PARAMETER;
  Registry& reg = Registry::Instance();
  return reg.Read([&](Tree& tree) -> LONG {
    const auto key = reg.Resolve(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    LONG err = ERROR_SUCCESS;
    Node* node = Locate(tree, *key, {}, &err);
    if (node == nullptr) return err;
    if (dwIndex >= node->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = node->children.begin();
    std::advance(it, dwIndex);
    const std::u16string& name = it->second->name;
    if (*lpcchName < name.size() + 1) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass && *lpcchClass > 0) {
      lpClass[0] = u'\0';
      *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LSTATUS QuillonRegistryBeginUpdate(void) { return Registry::Instance().BeginUpdate(); }
LSTATUS QuillonRegistryEndUpdate(void) { return Registry::Instance().EndUpdate(); }
