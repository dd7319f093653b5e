#include "agent/agt_prog.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "TK/tk_strin.h"
#include "UDB/udb_conv.h"

namespace {
constexpr char kErase[] = "\r\x1b[K";

// The display of this process, for the exit that comes without unwinding.
progress_display* g_active = nullptr;

void write_all(const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, bytes.data() + written, bytes.size() - written);
    if (n <= 0) return;  // a terminal that is gone takes nothing more
    written += size_t(n);
  }
}

int terminal_width() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// 1234567 as "1,234,567".
std::string grouped(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), ",");
  return value < 0 ? "-" + digits : digits;
}

// 75 seconds as "1:15", over an hour as "1:02:03".
std::string duration(int64_t seconds) {
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  int(seconds / 60 % 60), int(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%d:%02d", int(seconds / 60), int(seconds % 60));
  return text;
}

// The longest start of `line` that takes at most `columns` cells, cut between
// characters of the locale's encoding.
std::string fit(const std::string& line, int columns) {
  std::mbstate_t state{};
  size_t at = 0;
  int used = 0;
  while (at < line.size()) {
    wchar_t wide = 0;
    size_t length = std::mbrtowc(&wide, line.data() + at, line.size() - at, &state);
    int cells = 1;
    if (length == size_t(-1) || length == size_t(-2) || length == 0) {
      length = 1;  // not a character of the locale: one byte, one cell
      state = std::mbstate_t{};
    } else {
      cells = std::max(0, ::wcwidth(wide));
    }
    if (used + cells > columns) break;
    used += cells;
    at += length;
  }
  return line.substr(0, at);
}
}  // namespace

progress_display::progress_display(const udb_converter& converter) : converter_(converter) {}

progress_display::~progress_display() { stop(); }

void progress_display::start(bool show) {
  if (!show || !::isatty(STDERR_FILENO) || thread_.joinable()) return;
  static const bool registered = std::atexit(stop_at_exit) == 0;
  (void)registered;
  g_active = this;
  init_conversion::set_front_end(this);
  thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void progress_display::stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
  init_conversion::set_front_end(nullptr);
  std::lock_guard lock(mutex_);
  erase_locked();
  finished_ = true;
  if (g_active == this) g_active = nullptr;
}

// The error handler ends the process with exit(): the line goes, and the
// thread, which exit() does not join, draws no more.
void progress_display::stop_at_exit() {
  if (!g_active) return;
  std::lock_guard lock(g_active->mutex_);
  g_active->erase_locked();
  g_active->finished_ = true;
}

void progress_display::begin_console_line() {
  mutex_.lock();
  erase_locked();
}

void progress_display::end_console_line() { mutex_.unlock(); }

void progress_display::run(std::stop_token stop) {
  using clock = std::chrono::steady_clock;
  std::u16string table;
  clock::time_point table_start = clock::now();
  clock::time_point last_move = table_start;  // when the count last went up
  int32_t start_index = 0;
  int32_t last_index = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait_for(lock, stop, redraw_period, [] { return false; });
    if (stop.stop_requested() || finished_) return;
    const std::u16string name = converter_.table_name();
    const int32_t total = converter_.record_count();
    const int32_t index = converter_.record_index();
    const clock::time_point now = clock::now();
    // A new table, or the same name begun again: its clock starts now.
    if (name != table || index < last_index) {
      table = name;
      table_start = now;
      last_move = now;
      start_index = index;
    } else if (index != last_index) {
      last_move = now;
    }
    last_index = index;
    if (total <= 0 || now - table_start < first_draw_after) {
      erase_locked();
      continue;
    }
    // Up to the last record copied: the indexes built after the last one do
    // not lower the rate shown.
    const double seconds = std::chrono::duration<double>(last_move - table_start).count();
    const double rate = index > start_index && seconds > 0 ? (index - start_index) / seconds : 0;
    draw_locked(format_line(tk_to_ansi(table), index, total, rate, terminal_width()));
  }
}

void progress_display::draw_locked(const std::string& line) {
  if (shown_ && line == last_line_) return;
  write_all("\r" + line + "\x1b[K");
  shown_ = true;
  last_line_ = line;
}

void progress_display::erase_locked() {
  if (!shown_) return;
  write_all(kErase);
  shown_ = false;
}

std::string progress_display::format_line(const std::string& table, int64_t done, int64_t total, double rate,
                                          int width) {
  done = std::clamp<int64_t>(done, 0, total);
  const int64_t percent = total > 0 ? done * 100 / total : 100;
  std::string line = "  " + table + ": " + grouped(done) + " of " + grouped(total) + " records (" +
                     std::to_string(percent) + "%)";
  if (rate > 0) {
    line += ", " + grouped(std::llround(rate)) + " records/s";
    line += ", " + duration(std::llround(double(total - done) / rate)) + " left";
  }
  // The last column stays free: a full line would move some terminals' cursor on.
  return fit(line, std::max(width - 1, 0));
}
