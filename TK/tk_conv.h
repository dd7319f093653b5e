#pragma once
// Root base of the converter: the run loop's virtual slots, the finished and
// quiet flags, the source and destination names, and the log file.
#include <atomic>
#include <string>

class tk_converter {
 public:
  tk_converter();
  tk_converter(const tk_converter&) = delete;
  tk_converter& operator=(const tk_converter&) = delete;

  virtual ~tk_converter();
  // The run. Here: repeat wait_step() until is_complete(), then final_step().
  virtual void operator()();
  virtual bool is_complete();  // false here
  virtual void wait_step();    // sleeps 100 ms
  virtual void final_step();   // nothing here
  virtual void set_quiet(bool quiet);

  // Checks the name (an existing read-only file, a missing folder: level-1
  // tk_exception, nothing changed), stores it and, when not empty, points the
  // trace log at it and enables it (no trace object: internal error tk_singl).
  void set_logfile(const std::string& name);
  const std::string& log_file_name() const { return log_file_name_; }

  // Set when a run ends; read by another thread while a run goes on.
  bool is_finished() const { return finished_; }
  void set_finished(bool finished) { finished_ = finished; }
  std::atomic<bool>& finished_flag() { return finished_; }

  bool is_quiet() const { return quiet_; }

  const std::u16string& source_name() const { return source_name_; }
  void set_source_name(const std::u16string& name) { source_name_ = name; }
  const std::u16string& dest_name() const { return dest_name_; }
  void set_dest_name(const std::u16string& name) { dest_name_ = name; }

 protected:
  std::atomic<bool> finished_{false};
  bool quiet_ = false;  // the agent prints nothing to the console
  std::u16string source_name_;  // the Oracle database name as entered
  std::u16string dest_name_;    // the Access file
  std::string log_file_name_;
};
