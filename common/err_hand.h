#pragma once
// The one place every error of a conversion run ends up. It turns the
// exception into a message for the user (a friendly text chosen by the error
// code when there is one, prefixed with the table or record concerned), traces
// it, and by the error's level lets the run go on, ends the run, or ends the
// process.
//
// Without a front end the handler speaks to the console as the agent does and
// never asks anything. The wizard plugs its dialogs in through error_front_end.
#include <cstddef>
#include <string>

#include "TK/tk_errco.h"
#include "TK/tk_excep.h"
#include "TK/tk_singl.h"

// What the wizard provides to the handler: its finish-page error list and its
// modal windows. All calls come from the thread that runs the conversion.
class error_front_end {
 public:
  struct answer {
    bool abort;        // "Abort" ended the question rather than "Continue"
    bool do_not_show;  // state of "&Do not show this dialog box again"
  };

  virtual ~error_front_end() = default;
  // False until the wizard shell exists; the error list is not touched before.
  virtual bool is_up() const = 0;
  virtual size_t error_line_count() const = 0;
  virtual void append_error_line(const std::u16string& line) = 0;
  virtual void show_internal_error(const std::string& text) = 0;
  virtual void show_error(const std::string& message) = 0;
  virtual answer ask_continue(const std::string& message) = 0;
};

class error_handler : public tk_singleton<error_handler> {
 public:
  static constexpr size_t max_listed_errors = 20;

  // The Oracle texts come first; later tables never replace a text.
  error_handler(int count, const tk_error_entry* oracle_texts);
  ~error_handler();

  void load_err_map(int count, const tk_error_entry* table);

  // What the next errors concern: a table, or a record of a table (counted
  // from 1 by the caller). Stored in the ANSI code page.
  void set_object_description(const std::u16string& table);
  void set_object_description(const std::u16string& table, int record);
  void clear_object_description() { description_.clear(); }
  const std::string& object_description() const { return description_; }

  // Once set, level 0 and 1 errors are traced but no longer shown.
  void set_do_not_show(bool value) { do_not_show_ = value; }
  bool do_not_show() const { return do_not_show_; }

  // Null restores the console behaviour. The front end must outlive its use.
  void set_front_end(error_front_end* front_end) { front_end_ = front_end; }

  // Returns only for errors the run survives. Level 2 ends the process; the
  // console ends it on level 1 too; with a front end, level 1 (or "Abort")
  // throws tk_final_exception unless the run is already ending (at_run_level).
  void handle(const tk_exception& error, bool at_run_level);

  // The user's message for an error, before line breaks become blanks.
  std::string message_for(const tk_exception& error);

 private:
  [[noreturn]] void internal_error(const tk_exception& error);
  void handle_on_console(const tk_exception& error, const std::string& message);
  void handle_with_front_end(const tk_exception& error, const std::string& message,
                             bool at_run_level);

  std::string description_;
  bool do_not_show_ = false;
  tk_error_converter texts_;
  error_front_end* front_end_ = nullptr;
};
