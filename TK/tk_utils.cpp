#include "TK/tk_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_fname.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {

struct file_descriptor {
  int fd;
  explicit file_descriptor(int f) : fd(f) {}
  ~file_descriptor() { if (fd >= 0) ::close(fd); }
  file_descriptor(const file_descriptor&) = delete;
  file_descriptor& operator=(const file_descriptor&) = delete;
};

bool can_open(const std::string& name, int mode) {
  if (name.empty()) return false;
  bool read_write = mode == tk_open_read_write;
  // Non-blocking so that a FIFO or a device cannot hold the caller.
  int flags = (read_write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  file_descriptor file(::open(name.c_str(), flags));
  if (file.fd < 0) return false;
  struct stat st{};
  if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Root opens any file for writing; a file nobody may write is still read-only.
  if (read_write && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return true;
}

}  // namespace

bool tk_is_file_exist(const std::string& name, int mode) {
  trace(1, "tk_is_file_exist(%s)", name.c_str());
  if (can_open(name, mode)) return true;
  trace(1, "File not exists!");
  return false;
}

bool tk_is_file_exist(const std::u16string& name, int mode) {
  return tk_is_file_exist(tk_to_ansi(name), mode);
}

bool tk_is_path_exist(const std::string& name) {
  trace(1, "tk_is_path_exist(%s)", name.c_str());
  struct stat st{};
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool tk_is_path_exist(const std::u16string& name) { return tk_is_path_exist(tk_to_ansi(name)); }

std::string tk_module_file_name() {
  std::vector<char> buf(tk_file_name::max_path + 2);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  TK_CHECK(n > 0 && static_cast<size_t>(n) <= tk_file_name::max_path, "tk_utils");
  return std::string(buf.data(), static_cast<size_t>(n));
}
