#include "UDB/udb_conv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace names = udb_profile_names;

namespace {

// Lines are read into a 4096-byte buffer: a line of this many bytes or more
// (without its line break) cannot be held.
constexpr size_t kLongestLine = 4095;

struct file_descriptor {
  int fd;
  explicit file_descriptor(int f) : fd(f) {}
  ~file_descriptor() { if (fd >= 0) ::close(fd); }
  file_descriptor(const file_descriptor&) = delete;
  file_descriptor& operator=(const file_descriptor&) = delete;
};

// The whole regular file; false when it cannot be opened or read.
bool read_file(const std::string& path, std::string& text) {
  file_descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st{};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Room for the whole file at once: a buffer that grows leaves copies of
  // what it held (a password, perhaps) in memory it gives back.
  text.reserve(static_cast<size_t>(st.st_size) + 1);
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(file.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::explicit_bzero(buf, sizeof buf);
      return n == 0;
    }
    text.append(buf, static_cast<size_t>(n));
  }
}

// Wipes a text that may hold a password when it goes out of scope.
struct wiped_on_exit {
  std::string& text;
  ~wiped_on_exit() { tk_wipe(text); }
};

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

// Every entry must stay on its line: CR LF, CR and LF each become one space.
std::string one_line_utf8(const std::u16string& text) {
  std::u16string flat;
  flat.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      flat += u' ';
    } else {
      flat += text[i];
    }
  }
  return tk_to_utf8(flat);
}

}  // namespace

// ---- udb_profile --------------------------------------------------------------

udb_profile::udb_profile() {
  sections_[names::available_queries];
  sections_[names::selected_tables];
  sections_[names::generic_settings];
}

udb_profile::~udb_profile() {
  for (auto& [name, entries] : sections_)
    for (auto& [key, value] : entries) tk_wipe(value);
}

void udb_profile::set_value(const std::u16string& section_name, const std::u16string& key,
                            const std::u16string& value) {
  sections_[section_name].emplace(key, value);  // a key already present keeps its value
}

bool udb_profile::get_value(const std::u16string& section_name, const std::u16string& key,
                            std::u16string& value) const {
  const section* s = find_section(section_name);
  if (!s) return false;
  auto found = s->find(key);
  if (found == s->end()) return false;
  value = found->second;
  return true;
}

std::u16string udb_profile::value(const std::u16string& section_name,
                                  const std::u16string& key) const {
  std::u16string v;
  get_value(section_name, key, v);
  return v;
}

const udb_profile::section* udb_profile::find_section(const std::u16string& section_name) const {
  auto found = sections_.find(section_name);
  return found == sections_.end() ? nullptr : &found->second;
}

bool udb_profile::load(const std::u16string& path) {
  trace(2, u"udb_profile::load(%s)", path.c_str());
  std::string text;
  const wiped_on_exit wipe_text{text};
  if (!read_file(tk_to_ansi(path), text)) return false;

  udb_profile parsed;
  section* current = nullptr;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    size_t line_end = (end > begin && text[end - 1] == '\r') ? end - 1 : end;
    TK_CHECK(line_end - begin < kLongestLine, "udb_conv");
    std::u16string decoded = tk_from_utf8(std::string_view(text).substr(begin, line_end - begin));
    std::u16string line = tk_trim(decoded);
    tk_wipe(decoded);
    const struct wiped_line {
      std::u16string& text;
      ~wiped_line() { tk_wipe(text); }
    } wipe_line{line};
    begin = end + 1;

    if (line.empty()) continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      current = &parsed.sections_[line.substr(1, line.size() - 2)];
      continue;
    }
    if (!current) return false;  // a key before any section
    size_t equals = line.find(u'=');
    if (equals == std::u16string::npos)
      current->emplace(line, std::u16string());
    else
      current->emplace(tk_trim(std::u16string_view(line).substr(0, equals)), line.substr(equals + 1));
  }
  sections_ = std::move(parsed.sections_);
  return true;
}

bool udb_profile::save(const std::u16string& path) const {
  trace(2, u"udb_profile::save(%s)", path.c_str());
  std::string text;
  for (const auto& [name, entries] : sections_) {
    text += "[" + one_line_utf8(name) + "]\r\n";
    bool tables = name == names::selected_tables;
    for (const auto& [key, value] : entries) {
      if (tables && value.empty())
        text += one_line_utf8(key) + "\r\n";
      else
        text += one_line_utf8(key) + "=" + one_line_utf8(value) + "\r\n";
    }
    text += "\r\n";
  }

  // The file holds the Oracle password: owner only, also when it existed
  // before. The mode is set before the old contents are dropped, so a file
  // whose mode cannot be changed is left as it was.
  file_descriptor file(
      ::open(tk_to_ansi(path).c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
  struct stat st{};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (::fchmod(file.fd, 0600) != 0 || ::ftruncate(file.fd, 0) != 0) return false;
  bool written = write_all(file.fd, text);
  int closed = ::close(file.fd);
  file.fd = -1;
  return written && closed == 0;
}

// ---- udb_converter --------------------------------------------------------------

udb_converter::udb_converter() = default;

udb_converter::~udb_converter() = default;

std::u16string udb_converter::table_name() const {
  std::lock_guard<std::mutex> guard(table_name_mutex_);
  return table_name_;
}

void udb_converter::set_table_name(const std::u16string& name) {
  std::lock_guard<std::mutex> guard(table_name_mutex_);
  table_name_ = name;
}

void udb_converter::set_mode(int32_t mode) {
  trace(1, "udb_converter::set_mode(%d)", mode);
  mode_ = mode;
}

void udb_converter::load_profile(const udb_profile& profile) {
  trace(1, "udb_converter::load_profile");
  if (const udb_profile::section* tables = profile.find_section(names::selected_tables)) {
    for (const auto& [name, select] : *tables) {
      selected_objects_[name] = select;
      if (select.empty()) {
        selected_tables_.push_back(name);
        trace(1, u"Push back table '%s'", name.c_str());
      }
    }
  }
  if (const udb_profile::section* queries = profile.find_section(names::available_queries)) {
    for (const auto& [name, select] : *queries) available_queries_[name] = select;
  }

  std::u16string v;
  if (profile.get_value(names::generic_settings, names::src, v) && !v.empty()) source_name_ = v;
  if (profile.get_value(names::generic_settings, names::dest, v) && !v.empty()) dest_name_ = v;
  if (profile.get_value(names::generic_settings, names::only_definitions, v) && !v.empty())
    only_definitions_ = v != u"0";
  if (profile.get_value(names::generic_settings, names::skip_indexes, v) && !v.empty())
    skip_indexes_ = v != u"0";
  // Only the four modes there are; any other text leaves the mode as it is.
  profile_mode_refused_ = false;
  if (profile.get_value(names::generic_settings, names::mode, v) && !v.empty()) {
    if (v.size() == 1 && v[0] >= u'0' && v[0] <= u'3')
      mode_ = v[0] - u'0';
    else
      profile_mode_refused_ = true;
  }
}

void udb_converter::store_profile(udb_profile& profile) const {
  trace(2, "udb_converter::store_profile");
  for (const auto& [name, select] : available_queries_) {
    trace(1, u"Available Query: (%s,%s)", name.c_str(), select.c_str());
    profile.set_value(names::available_queries, name, select);
  }
  for (const auto& [name, select] : selected_objects_) {
    trace(1, u"Selected Query: (%s,%s)", name.c_str(), select.c_str());
    profile.set_value(names::selected_tables, name, select);
  }
  profile.set_value(names::generic_settings, names::src, source_name_);
  profile.set_value(names::generic_settings, names::dest, dest_name_);
  profile.set_value(names::generic_settings, names::skip_indexes, skip_indexes_ ? u"1" : u"0");
  profile.set_value(names::generic_settings, names::only_definitions, only_definitions_ ? u"1" : u"0");
  profile.set_value(names::generic_settings, names::mode, tk_from_utf8(std::to_string(mode_)));
}
