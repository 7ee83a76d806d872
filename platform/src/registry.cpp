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
// The process keeps a parsed copy of the file and the file's identity
// (device, inode, size, modification time); a read reparses when the file
// has changed. A change takes an exclusive flock on "<file>.lock", rereads
// the file, applies itself, writes a temporary file beside the registry,
// fsyncs it and renames it over the registry. Open keys are handles to a
// path, not to memory, so they stay valid across reloads; a handle whose
// key has been deleted gives ERROR_KEY_DELETED.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace quillon::platform {
namespace {

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr int kRootCount = 4;

// FoldAscii, inline: the parser folds every name it reads.
inline char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = Lower(c);
  return out;
}

struct Value {
  std::u16string name;  // as first set
  std::u16string data;
};

// Keyed by folded name; std::less<> lets lookups take a view of a folded
// name held elsewhere.
struct Node {
  std::u16string name;  // as created
  std::map<std::u16string, Value, std::less<>> values;
  std::map<std::u16string, std::unique_ptr<Node>, std::less<>> children;

  Node* FoldedChild(std::u16string_view folded) const {
    auto it = children.find(folded);
    return it == children.end() ? nullptr : it->second.get();
  }
  Node* Child(std::u16string_view n) const {
    char16_t buffer[64];
    if (n.size() > std::size(buffer)) return FoldedChild(Fold(n));
    for (std::size_t i = 0; i < n.size(); ++i) buffer[i] = Lower(n[i]);
    return FoldedChild(std::u16string_view(buffer, n.size()));
  }
};

struct Tree {
  Node roots[kRootCount];
};

struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

struct OpenKey {
  int root;
  std::vector<std::u16string> path;
};

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
  // Most text has no escapes: decode it where it stands.
  const std::size_t stop = s.find('"', i + 1);
  if (stop != std::string_view::npos && s.substr(i + 1, stop - i - 1).find('\\') == std::string_view::npos) {
    Utf8ToUtf16(s.substr(i + 1, stop - i - 1), out);
    i = stop + 1;
    return true;
  }
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

std::vector<std::u16string> SplitPath(std::u16string_view path) {
  std::vector<std::u16string> parts;
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

Node* Descend(Node* node, const std::vector<std::u16string>& path, bool create,
              bool* created = nullptr) {
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

// The parser's reusable buffers, and the previous section's path: sections
// mostly follow one another in tree order, so a section usually starts with
// the same keys as the one before, written the same way, and takes their
// nodes from there instead of decoding and looking the names up again.
struct ParseState {
  std::vector<std::string_view> lastParts;  // into the file's text; [0] the root
  std::vector<Node*> lastNodes;  // the node of each of lastParts
  std::vector<std::string_view> parts;
  std::u16string name;
  std::u16string key;
};

// Folds name into *key.
void FoldInto(std::u16string_view name, std::u16string* key) {
  key->resize(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) (*key)[i] = Lower(name[i]);
}

// A section header's path, "ROOT\\Key\\Sub" in UTF-8; sets *current to its
// node, creating keys as needed. The path is split before it is decoded: a
// '\\' byte is never part of a longer UTF-8 sequence, nor does decoding
// anything else give one.
bool ParseSection(std::string_view path, Tree* tree, ParseState& st, Node** current) {
  static constexpr std::u16string_view kFoldedRoots[kRootCount] = {
      u"hkey_classes_root", u"hkey_current_user", u"hkey_local_machine", u"hkey_users"};
  st.parts.clear();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) st.parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  if (st.parts.empty()) return false;

  // Parts written exactly as in the previous section lead to its nodes.
  std::size_t k = 0;
  while (k < st.parts.size() && k < st.lastParts.size() && st.parts[k] == st.lastParts[k]) ++k;
  Node* node = nullptr;
  if (k > 0) {
    node = st.lastNodes[k - 1];
  } else {
    Utf8ToUtf16(st.parts[0], &st.name);
    FoldInto(st.name, &st.key);
    for (int r = 0; r < kRootCount; ++r) {
      if (st.key == kFoldedRoots[r]) node = &tree->roots[r];
    }
    if (node == nullptr) return false;
    k = 1;
  }
  st.lastNodes.resize(k);
  st.lastNodes.back() = node;
  for (; k < st.parts.size(); ++k) {
    Utf8ToUtf16(st.parts[k], &st.name);
    if (!ValidKeyName(st.name)) return false;
    FoldInto(st.name, &st.key);
    Node* child = node->FoldedChild(st.key);
    if (child == nullptr) {
      auto fresh = std::make_unique<Node>();
      fresh->name = st.name;
      child = fresh.get();
      node->children.emplace(st.key, std::move(fresh));
    }
    node = child;
    st.lastNodes.push_back(node);
  }
  st.lastParts.swap(st.parts);
  *current = node;
  return true;
}

bool Parse(std::string_view text, Tree* tree) {
  ParseState st;
  Node* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      if (!ParseSection(line.substr(1, line.size() - 2), tree, st, &current)) return false;
      continue;
    }
    if (current == nullptr) return false;
    std::size_t i = 0;
    st.name.clear();
    if (line[0] == '@') {
      i = 1;
    } else if (!ParseQuoted(line, i, &st.name) || st.name.empty()) {
      return false;
    }
    std::u16string data;
    if (i >= line.size() || line[i] != '=') return false;
    ++i;
    if (!ParseQuoted(line, i, &data) || i != line.size()) return false;
    FoldInto(st.name, &st.key);
    // A name given twice: the later line wins, spelling included.
    auto it = current->values.find(st.key);
    if (it == current->values.end()) {
      current->values.emplace(st.key, Value{st.name, std::move(data)});
    } else {
      it->second = Value{st.name, std::move(data)};
    }
  }
  return true;
}

// ---- The registry object ----------------------------------------------------------

std::string RegistryPath() {
  if (const char* env = std::getenv("QUILLON_REGISTRY"); env && *env) {
    return env;
  }
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
    }
    base = std::string(home ? home : ".") + "/.config";
  }
  return base + "/quillon/registry.txt";
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void MakeDirectories(const std::string& dir) {
  for (std::size_t p = 1; p <= dir.size(); ++p) {
    if (p == dir.size() || dir[p] == '/') {
      mkdir(dir.substr(0, p).c_str(), 0700);  // EEXIST is fine
    }
  }
}

// What tells one version of the file from another; `exists` false when
// the stat call failed.
FileStamp StampFrom(int statResult, const struct stat& st) {
  FileStamp stamp;
  if (statResult == 0) {
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  }
  return stamp;
}

FileStamp StampOf(int fd) {
  struct stat st;
  const int result = fstat(fd, &st);
  return StampFrom(result, st);
}

FileStamp StampOf(const std::string& path) {
  struct stat st;
  const int result = stat(path.c_str(), &st);
  return StampFrom(result, st);
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

class Registry {
 public:
  static Registry& Instance() {
    // Never destroyed: handles may be closed from static destructors.
    static Registry* instance = new Registry();
    return *instance;
  }

  // Runs fn(tree) on an up-to-date copy for reading.
  template <class Fn>
  LONG Read(Fn&& fn) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (LONG err = Refresh(false); err != ERROR_SUCCESS) return err;
    return fn(*tree_);
  }

  // Runs fn(tree, &changed) under the file lock on a freshly loaded copy and
  // saves the result when fn succeeded and reported a change.
  template <class Fn>
  LONG Write(Fn&& fn) {
    std::lock_guard<std::mutex> guard(mutex_);
    const std::string path = RegistryPath();
    MakeDirectories(DirectoryOf(path));
    const std::string lockPath = path + ".lock";
    const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return ERROR_ACCESS_DENIED;
    while (flock(lockFd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(lockFd);
        return ERROR_ACCESS_DENIED;
      }
    }
    LONG result = Refresh(true);
    if (result == ERROR_SUCCESS) {
      bool changed = false;
      result = fn(*tree_, &changed);
      if (result == ERROR_SUCCESS && changed) {
        result = Save(path);
        if (result != ERROR_SUCCESS) tree_.reset();  // force a reload next time
      }
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
    return result;
  }

  HKEY NewHandle(int root, std::vector<std::u16string> path) {
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
  // Brings tree_ up to date with the file. `force` rereads even when the
  // file looks unchanged (used under the file lock).
  LONG Refresh(bool force) {
    const std::string path = RegistryPath();
    if (!force && tree_ && path == path_ && StampOf(path) == stamp_) {
      return ERROR_SUCCESS;
    }
    auto fresh = std::make_unique<Tree>();
    FileStamp stamp;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT) return ERROR_CANTREAD;
    } else {
      stamp = StampOf(fd);
      std::string text;
      char buf[65536];
      for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
          close(fd);
          return ERROR_CANTREAD;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
      }
      close(fd);
      if (!Parse(text, fresh.get())) {
        tree_.reset();
        return ERROR_REGISTRY_CORRUPT;
      }
    }
    tree_ = std::move(fresh);
    path_ = path;
    stamp_ = stamp;
    return ERROR_SUCCESS;
  }

  LONG Save(const std::string& path) {
    const std::string text = Serialize(*tree_);
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return ERROR_CANTWRITE;
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
      unlink(temp.c_str());
      return ERROR_CANTWRITE;
    }
    // Make the rename itself durable.
    const int dirFd = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      fsync(dirFd);
      close(dirFd);
    }
    path_ = path;
    stamp_ = StampOf(path);
    return ERROR_SUCCESS;
  }

  std::mutex mutex_;
  std::unique_ptr<Tree> tree_;
  std::string path_;
  FileStamp stamp_;
  std::map<ULONG_PTR, OpenKey> handles_;
  ULONG_PTR nextHandle_ = 0x1000;
};

// The node of an open key plus a relative path; sets *err when missing.
Node* Locate(Tree& tree, const OpenKey& key, const std::vector<std::u16string>& sub, LONG* err) {
  Node* base = Descend(&tree.roots[key.root], key.path, false);
  if (base == nullptr) {
    *err = ERROR_KEY_DELETED;
    return nullptr;
  }
  Node* node = Descend(base, sub, false);
  if (node == nullptr) *err = ERROR_FILE_NOT_FOUND;
  return node;
}

std::vector<std::u16string> Join(const OpenKey& key, const std::vector<std::u16string>& sub) {
  std::vector<std::u16string> all = key.path;
  all.insert(all.end(), sub.begin(), sub.end());
  return all;
}

// Names along the path as the tree spells them.
std::vector<std::u16string> Canonical(Tree& tree, int root, const std::vector<std::u16string>& path) {
  std::vector<std::u16string> out;
  Node* node = &tree.roots[root];
  for (const auto& part : path) {
    node = node ? node->Child(part) : nullptr;
    out.push_back(node ? node->name : part);
  }
  return out;
}

bool ValidSubPath(const std::vector<std::u16string>& parts) {
  for (const auto& part : parts) {
    if (!ValidKeyName(part)) return false;
  }
  return true;
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
                           std::vector<std::u16string>(full.begin(), full.end() - 1), false);
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
