#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace platform {

struct registry_key {
  std::u16string path;  // components joined by '\', no leading or trailing '\'
  REGSAM access;
};

namespace {

registry_key current_user_root{u"", KEY_ALL_ACCESS};

const char kHeader[] = "DUNMARROW REGISTRY 1";

// ---- handles ------------------------------------------------------------

// Every open key, owned here until RegCloseKey; a handle not in the map is invalid.
std::mutex handles_mutex;
std::map<const registry_key*, std::unique_ptr<registry_key>> open_handles;

bool is_valid(HKEY key) {
  if (key == &current_user_root) return true;
  std::lock_guard<std::mutex> guard(handles_mutex);
  return open_handles.count(key) != 0;
}

// ---- names --------------------------------------------------------------

char16_t fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool same_name(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// Drops empty components, so "\A\\B\" and "A\B" name the same key.
std::u16string normalize_path(const std::u16string& path) {
  std::u16string out;
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find(u'\\', begin);
    if (end == std::u16string::npos) end = path.size();
    if (end > begin) {
      if (!out.empty()) out += u'\\';
      out += path.substr(begin, end - begin);
    }
    begin = end + 1;
  }
  return out;
}

std::u16string join_path(const std::u16string& parent, const std::u16string& child) {
  std::u16string c = normalize_path(child);
  if (parent.empty()) return c;
  if (c.empty()) return parent;
  return parent + u'\\' + c;
}

// ---- the store in memory -------------------------------------------------

struct stored_value {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

struct stored_key {
  std::u16string path;
  std::vector<stored_value> values;
};

struct store {
  std::vector<stored_key> keys;

  stored_key* find_key(const std::u16string& path) {
    for (stored_key& k : keys)
      if (same_name(k.path, path)) return &k;
    return nullptr;
  }
  // A key exists when it is stored or some stored key lies below it.
  bool has_key(const std::u16string& path) {
    if (path.empty() || find_key(path)) return true;
    for (const stored_key& k : keys)
      if (k.path.size() > path.size() && k.path[path.size()] == u'\\' &&
          same_name(k.path.substr(0, path.size()), path))
        return true;
    return false;
  }
  stored_key& add_key(const std::u16string& path) {
    if (stored_key* k = find_key(path)) return *k;
    keys.push_back(stored_key{path, {}});
    return keys.back();
  }
};

stored_value* find_value(stored_key& key, const std::u16string& name) {
  for (stored_value& v : key.values)
    if (same_name(v.name, name)) return &v;
  return nullptr;
}

// ---- escaping -------------------------------------------------------------

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string escape(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    switch (c) {
      case u'\\': out += "\\\\"; continue;
      case u'"': out += "\\\""; continue;
      case u'\r': out += "\\r"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\t': out += "\\t"; continue;
      case u'\0': out += "\\0"; continue;
      default: break;
    }
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool pair = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) {
      append_utf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      append_utf8(out, c);
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes escape(); nullopt for a malformed escape or a raw control character.
std::optional<std::u16string> unescape(std::string_view text) {
  std::u16string out;
  size_t run = 0;  // start of the plain UTF-8 run not yet decoded
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == '"') return std::nullopt;
    if (c != '\\') continue;
    out += utf8_to_utf16(text.substr(run, i - run));
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += u'\\'; break;
      case '"': out += u'"'; break;
      case 'r': out += u'\r'; break;
      case 'n': out += u'\n'; break;
      case 't': out += u'\t'; break;
      case '0': out += u'\0'; break;
      case 'u': {
        if (i + 4 >= text.size()) return std::nullopt;
        unsigned v = 0;
        for (size_t k = 1; k <= 4; ++k) {
          int d = hex_digit(text[i + k]);
          if (d < 0) return std::nullopt;
          v = v * 16 + static_cast<unsigned>(d);
        }
        out += static_cast<char16_t>(v);
        i += 4;
        break;
      }
      default: return std::nullopt;
    }
    run = i + 1;
  }
  out += utf8_to_utf16(text.substr(run));
  return out;
}

// ---- the store file ---------------------------------------------------------

std::string format_value(const stored_value& v) {
  std::string line = "\"" + escape(v.name) + "\"=";
  size_t n = v.data.size();
  if (v.type == REG_SZ && n >= 2 && n % 2 == 0 && v.data[n - 2] == 0 && v.data[n - 1] == 0) {
    std::u16string text;
    for (size_t i = 0; i + 2 < n; i += 2) text += char16_t(v.data[i] | (v.data[i + 1] << 8));
    return line + "sz:" + escape(text);
  }
  char buf[32];
  if (v.type == REG_DWORD && n == 4) {
    uint32_t number = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", number);
    return line + buf;
  }
  std::snprintf(buf, sizeof buf, "hex(%u):", static_cast<unsigned>(v.type));
  line += buf;
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.data[i]);
    line += buf;
  }
  return line;
}

std::string format_store(const store& s) {
  std::string text = std::string(kHeader) + "\n";
  for (const stored_key& k : s.keys) {
    text += "[" + escape(k.path) + "]\n";
    for (const stored_value& v : k.values) text += format_value(v) + "\n";
  }
  return text;
}

// The closing quote of an escaped name that starts after the opening one.
size_t closing_quote(std::string_view line, size_t from) {
  for (size_t i = from; i < line.size(); ++i) {
    if (line[i] == '\\') { ++i; continue; }
    if (line[i] == '"') return i;
  }
  return std::string_view::npos;
}

bool parse_value(std::string_view line, stored_value& v) {
  size_t quote = closing_quote(line, 1);
  if (quote == std::string_view::npos || quote + 1 >= line.size() || line[quote + 1] != '=')
    return false;
  auto name = unescape(line.substr(1, quote - 1));
  if (!name) return false;
  v.name = *name;
  std::string_view rest = line.substr(quote + 2);
  if (rest.substr(0, 3) == "sz:") {
    auto text = unescape(rest.substr(3));
    if (!text) return false;
    v.type = REG_SZ;
    for (char16_t c : *text) {
      v.data.push_back(static_cast<uint8_t>(c & 0xFF));
      v.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return true;
  }
  if (rest.substr(0, 6) == "dword:") {
    std::string_view digits = rest.substr(6);
    if (digits.size() != 8) return false;
    uint32_t number = 0;
    for (char c : digits) {
      int d = hex_digit(c);
      if (d < 0) return false;
      number = number * 16 + static_cast<uint32_t>(d);
    }
    v.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    return true;
  }
  if (rest.substr(0, 4) == "hex(") {
    size_t close = rest.find("):");
    if (close == std::string_view::npos || close == 4) return false;
    uint64_t type = 0;
    for (char c : rest.substr(4, close - 4)) {
      if (c < '0' || c > '9' || type > 0xFFFFFFFFu) return false;
      type = type * 10 + static_cast<uint64_t>(c - '0');
    }
    if (type > 0xFFFFFFFFu) return false;
    v.type = static_cast<DWORD>(type);
    std::string_view bytes = rest.substr(close + 2);
    for (size_t i = 0; i < bytes.size(); i += 3) {
      if (i + 2 > bytes.size()) return false;
      int hi = hex_digit(bytes[i]), lo = hex_digit(bytes[i + 1]);
      if (hi < 0 || lo < 0) return false;
      if (i + 2 < bytes.size() && bytes[i + 2] != ',') return false;
      if (i + 2 == bytes.size() - 1) return false;  // a trailing comma
      v.data.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
  }
  return false;
}

bool parse_store(const std::string& text, store& s) {
  size_t begin = 0;
  bool header_seen = false;
  stored_key* current = nullptr;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // edited elsewhere
    if (!header_seen) {
      if (line != kHeader) return false;
      header_seen = true;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      auto path = unescape(line.substr(1, line.size() - 2));
      if (!path) return false;
      current = &s.add_key(normalize_path(*path));
      continue;
    }
    if (line.front() != '"' || !current) return false;
    stored_value v;
    if (!parse_value(line, v)) return false;
    if (stored_value* old = find_value(*current, v.name))
      *old = std::move(v);
    else
      current->values.push_back(std::move(v));
  }
  return header_seen || text.empty();
}

struct fd_holder {
  int fd = -1;
  explicit fd_holder(int f) : fd(f) {}
  ~fd_holder() { if (fd >= 0) ::close(fd); }
  fd_holder(const fd_holder&) = delete;
  fd_holder& operator=(const fd_holder&) = delete;
};

std::string config_home() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // relative values are to be ignored
  const char* home = std::getenv("HOME");
  if (home && home[0]) return std::string(home) + "/.config";
  struct passwd pw{};
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && pw.pw_dir)
    return std::string(pw.pw_dir) + "/.config";
  return "/tmp/.config";
}

std::string store_folder() { return config_home() + "/dunmarrow"; }

// Creates the folder and its missing parents, each owner-only.
bool make_folders(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !make_folders(path.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Reads the whole store; a missing file is an empty store.
LSTATUS read_store(store& s) {
  fd_holder file(::open(registry_file_path().c_str(), O_RDONLY | O_CLOEXEC));
  if (file.fd < 0) return errno == ENOENT ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  std::string text;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(file.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ERROR_ACCESS_DENIED;
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  return parse_store(text, s) ? ERROR_SUCCESS : ERROR_BADDB;
}

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces the store file: a temporary file beside it, flushed, renamed over it.
LSTATUS write_store(const store& s) {
  std::string folder = store_folder();
  std::string temp = folder + "/registry.XXXXXX";
  fd_holder file(::mkstemp(temp.data()));  // created 0600
  if (file.fd < 0) return ERROR_ACCESS_DENIED;
  bool ok = ::fchmod(file.fd, 0600) == 0 && write_all(file.fd, format_store(s)) &&
            ::fsync(file.fd) == 0;
  ok = ::close(file.fd) == 0 && ok;
  file.fd = -1;
  if (!ok || ::rename(temp.c_str(), registry_file_path().c_str()) != 0) {
    ::unlink(temp.c_str());
    return ERROR_WRITE_FAULT;
  }
  fd_holder dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd >= 0) ::fsync(dir.fd);  // makes the rename itself durable
  return ERROR_SUCCESS;
}

// Serialises read-modify-write cycles of all processes of the user.
class store_lock {
 public:
  store_lock() {
    std::string folder = store_folder();
    if (!make_folders(folder)) return;
    ::chmod(folder.c_str(), 0700);  // our own folder: owner only, even if widened since
    fd_ = ::open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) { ::close(fd_); fd_ = -1; return; }
    }
  }
  ~store_lock() { if (fd_ >= 0) ::close(fd_); }  // closing releases the lock
  store_lock(const store_lock&) = delete;
  store_lock& operator=(const store_lock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

template <class Change>
LSTATUS modify_store(Change change) {
  store_lock lock;
  if (!lock.held()) return ERROR_ACCESS_DENIED;
  store s;
  LSTATUS status = read_store(s);
  if (status != ERROR_SUCCESS) return status;  // never overwrite a store we cannot read
  if (!change(s)) return ERROR_SUCCESS;
  return write_store(s);
}

HKEY new_handle(const std::u16string& path, REGSAM access) {
  auto key = std::make_unique<registry_key>(registry_key{path, access});
  HKEY handle = key.get();
  std::lock_guard<std::mutex> guard(handles_mutex);
  open_handles.emplace(handle, std::move(key));
  return handle;
}

}  // namespace

const HKEY HKEY_CURRENT_USER = &current_user_root;

std::string registry_file_path() { return store_folder() + "/registry"; }

LSTATUS RegCreateKeyExW(HKEY root, const std::u16string& subkey, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!is_valid(root)) return ERROR_INVALID_HANDLE;
  std::u16string path = join_path(root->path, subkey);
  LSTATUS status = modify_store([&](store& s) {
    if (s.has_key(path)) return false;
    s.add_key(path);
    return true;
  });
  if (status != ERROR_SUCCESS) return status;
  *result = new_handle(path, access);
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExW(HKEY root, const std::u16string& subkey, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!is_valid(root)) return ERROR_INVALID_HANDLE;
  std::u16string path = join_path(root->path, subkey);
  store s;
  LSTATUS status = read_store(s);
  if (status != ERROR_SUCCESS) return status;
  if (!s.has_key(path)) return ERROR_FILE_NOT_FOUND;
  *result = new_handle(path, access);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, const std::u16string& name, DWORD* type, uint8_t* data,
                         DWORD* size) {
  if (!is_valid(key)) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  store s;
  LSTATUS status = read_store(s);
  if (status != ERROR_SUCCESS) return status;
  stored_key* k = s.find_key(key->path);
  stored_value* v = k ? find_value(*k, name) : nullptr;
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  DWORD needed = static_cast<DWORD>(v->data.size());
  if (!data) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  DWORD room = *size;
  *size = needed;
  if (room < needed) return ERROR_MORE_DATA;
  if (needed) std::memcpy(data, v->data.data(), needed);
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, const std::u16string& name, DWORD type, const uint8_t* data,
                       DWORD size) {
  if (!is_valid(key)) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  if ((key->access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  stored_value value{name, type, std::vector<uint8_t>(data, data + size)};
  return modify_store([&](store& s) {
    stored_key& k = s.add_key(key->path);
    if (stored_value* old = find_value(k, name))
      *old = std::move(value);
    else
      k.values.push_back(std::move(value));
    return true;
  });
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == &current_user_root) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> guard(handles_mutex);
  return open_handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace platform
