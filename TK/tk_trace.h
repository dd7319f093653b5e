#pragma once
// The execution trace: one process-wide log file written line by line. Every
// call opens, appends and closes the file, so the file is complete after each
// line. Levels: 1 detail, 2 operation entry, 3 milestones.
#include <atomic>
#include <string>

#include "TK/tk_singl.h"

class tk_trace : public tk_singleton<tk_trace> {
 public:
  // An empty file name means the program's own path with the extension ".log".
  tk_trace(const std::string& file_name, bool enabled, int threshold, bool time_stamps);
  ~tk_trace();

  // Points the log at a file and enables it; the next line empties the file.
  void set_file_name(const std::string& file_name);
  void enable();

  const std::string& file_name() const { return file_name_; }
  bool enabled() const { return enabled_; }
  int threshold() const { return threshold_; }

  void write(int level, const std::string& text);         // narrow: bytes as they are
  void write_utf16(int level, const std::u16string& text);  // wide: stored as UTF-8

 private:
  bool prepare(int level);  // truncation and filtering; true when the line is kept
  void append(const char* data, size_t size);

  std::string file_name_;
  int threshold_;
  bool line_break_ = true;  // every line ends with CR LF
  bool enabled_;
  bool truncated_ = false;  // the file has been emptied for this process
  bool time_stamps_;
};

// True while a trace object exists and is enabled. Every trace call tests it
// inline, so a disabled trace costs a load and a branch, not a call.
inline std::atomic<bool> tk_trace_active{false};

// Whether a line of `level` would be written now; lets a hot path skip work
// that only a log line needs.
bool trace_writes(int level);

// The out-of-line writers behind trace(): they format and write the line.
void trace_line(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void trace_line(int level, const char16_t* format, ...);

// printf-style trace lines; they never throw and do nothing without an
// enabled trace object. In the wide form "%s" takes a const char16_t*.
template <class... Args>
inline void trace(int level, const char* format, Args... args) {
  if (tk_trace_active.load(std::memory_order_relaxed)) trace_line(level, format, args...);
}
template <class... Args>
inline void trace(int level, const char16_t* format, Args... args) {
  if (tk_trace_active.load(std::memory_order_relaxed)) trace_line(level, format, args...);
}
