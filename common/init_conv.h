#pragma once
// Frames one conversion run: the start banner on entry, the end banner on
// exit, COM for the run when the caller has not set it up, and the wizard's
// progress timer. The converter's finished flag becomes true when the scope
// closes, however the run ended.
#include <atomic>

// The front end's side of a run: the wizard polls the converter on a timer;
// the agent keeps a live progress line on a terminal, which must step aside
// for every line the run prints on the console.
class conversion_front_end {
 public:
  virtual ~conversion_front_end() = default;
  virtual void start_progress_timer(int period_ms) = 0;
  // Bracket one console line; no other console output comes in between.
  virtual void begin_console_line() {}
  virtual void end_console_line() {}
};

// Held while one line goes to the console: the front end's begin and end
// calls, when there is a front end.
class console_line_scope {
 public:
  console_line_scope();
  ~console_line_scope();
  console_line_scope(const console_line_scope&) = delete;
  console_line_scope& operator=(const console_line_scope&) = delete;

 private:
  conversion_front_end* front_end_;
};

// COM for the thread of a run; the COM layer plugs in here.
class conversion_com {
 public:
  virtual ~conversion_com() = default;
  virtual bool initialize() = 0;  // true when the thread must uninitialise later
  virtual void uninitialize() = 0;
};

class init_conversion {
 public:
  static constexpr int progress_period_ms = 200;

  // finished must outlive the scope.
  init_conversion(std::atomic<bool>& finished, bool com_initialized);
  ~init_conversion();
  init_conversion(const init_conversion&) = delete;
  init_conversion& operator=(const init_conversion&) = delete;

  // Both stay with the process; null removes them.
  static void set_front_end(conversion_front_end* front_end);
  static void set_com(conversion_com* com);

 private:
  std::atomic<bool>& finished_;
  bool com_initialized_;        // the caller had COM set up already
  bool com_started_here_ = false;
};
