#pragma once
// The live line the agent keeps on a terminal while a table is converted:
// records done of the table's total, rate and time left. Shown only when
// standard error is a terminal and the run is not silent; then it is taken
// off before every console line of the run and at the end, so the terminal
// ends up showing what it would have shown without it. Otherwise it writes
// nothing at all.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "common/init_conv.h"

class udb_converter;

class progress_display : public conversion_front_end {
 public:
  static constexpr std::chrono::milliseconds redraw_period{100};
  // A table shorter than this never shows the line.
  static constexpr std::chrono::milliseconds first_draw_after{500};

  // The converter must outlive the display.
  explicit progress_display(const udb_converter& converter);
  ~progress_display() override;
  progress_display(const progress_display&) = delete;
  progress_display& operator=(const progress_display&) = delete;

  // Plugs the display into the run and starts its thread, when standard
  // error is a terminal and show is true.
  void start(bool show);
  // Takes the line off and joins the thread; the display stays unplugged.
  void stop();

  // The run's own start call; the thread is already started by start().
  void start_progress_timer(int) override {}
  void begin_console_line() override;
  void end_console_line() override;

  // The line for `done` records of `total` at `rate` records a second (0:
  // not known yet), cut to fit a terminal `width` columns wide.
  static std::string format_line(const std::string& table, int64_t done, int64_t total, double rate,
                                 int width);

 private:
  void run(std::stop_token stop);
  void draw_locked(const std::string& line);
  void erase_locked();
  static void stop_at_exit();

  const udb_converter& converter_;
  std::mutex mutex_;  // the terminal: the display and the run's lines
  std::condition_variable_any wake_;
  bool shown_ = false;     // the line is on the terminal
  bool finished_ = false;  // no more drawing
  std::string last_line_;
  std::jthread thread_;
};
