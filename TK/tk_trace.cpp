#include "TK/tk_trace.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "TK/tk_strin.h"

namespace {
// Limits of the wide form: the formatted text and its UTF-8 form.
constexpr size_t kWideChars = 10240;
constexpr size_t kUtf8Bytes = 10240;

std::string own_program_log_name() {
  std::vector<char> path(4096);
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  std::string name = n > 0 ? std::string(path.data(), static_cast<size_t>(n)) : "dmw";
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
  return name + ".log";
}

// Owns a C stream for one write.
struct file_closer {
  void operator()(FILE* f) const { if (f) std::fclose(f); }
};
}  // namespace

tk_trace::tk_trace(const std::string& file_name, bool enabled, int threshold, bool time_stamps)
    : file_name_(file_name.empty() ? own_program_log_name() : file_name),
      threshold_(threshold),
      enabled_(enabled),
      time_stamps_(time_stamps) {
  tk_trace_active = enabled_;
  if (enabled_) {
    std::unique_ptr<FILE, file_closer> f(std::fopen(file_name_.c_str(), "wb"));
    truncated_ = true;
  }
}

tk_trace::~tk_trace() { tk_trace_active = false; }

void tk_trace::set_file_name(const std::string& file_name) { file_name_ = file_name; }

void tk_trace::enable() {
  enabled_ = true;
  tk_trace_active = true;
}

bool tk_trace::prepare(int level) {
  if (!enabled_) return false;
  if (!truncated_) {
    std::unique_ptr<FILE, file_closer> f(std::fopen(file_name_.c_str(), "wb"));
    truncated_ = true;
  }
  return level >= threshold_;
}

void tk_trace::append(const char* data, size_t size) {
  std::unique_ptr<FILE, file_closer> f(std::fopen(file_name_.c_str(), "ab"));
  if (!f) return;
  if (time_stamps_) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::fprintf(f.get(), "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
  }
  if (size) std::fwrite(data, 1, size, f.get());
  if (line_break_) std::fwrite("\r\n", 1, 2, f.get());
}

void tk_trace::write(int level, const std::string& text) {
  if (!prepare(level)) return;
  append(text.data(), text.size());
}

void tk_trace::write_utf16(int level, const std::u16string& text) {
  if (!prepare(level)) return;
  std::u16string cut = text.size() > kWideChars - 1 ? text.substr(0, kWideChars - 1) : text;
  std::string utf8 = tk_to_utf8(cut);
  // A text whose UTF-8 form does not fit the buffer is dropped whole.
  if (utf8.size() + 1 > kUtf8Bytes) {
    append(nullptr, 0);
    return;
  }
  append(utf8.data(), utf8.size());
}

bool trace_writes(int level) {
  const tk_trace* log = tk_trace::instance();
  return log && log->enabled() && level >= log->threshold();
}

void trace_line(int level, const char* format, ...) {
  tk_trace* log = tk_trace::instance();
  if (!log || !log->enabled()) return;
  if (level < log->threshold()) {
    log->write(level, std::string());  // still empties the file once
    return;
  }
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
  }
  va_end(args);
  log->write(level, text);
}

void trace_line(int level, const char16_t* format, ...) {
  tk_trace* log = tk_trace::instance();
  if (!log || !log->enabled()) return;
  if (level < log->threshold()) {
    log->write(level, std::string());
    return;
  }
  va_list args;
  va_start(args, format);
  std::u16string text = tk_vwformat(format, args);
  va_end(args);
  log->write_utf16(level, text);
}
