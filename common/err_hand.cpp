#include "common/err_hand.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "common/init_conv.h"

namespace {
// The exit code the product documents as -1; the system reports 255.
[[noreturn]] void end_process() {
  std::fflush(nullptr);
  std::exit(-1);
}

void print_line(const std::string& text) {
  const console_line_scope line;
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
}  // namespace

error_handler::error_handler(int count, const tk_error_entry* oracle_texts)
    : texts_(count, oracle_texts) {
  trace(2, "error_handler::ctor");
}

error_handler::~error_handler() { trace(2, "error_handler::dtor"); }

void error_handler::load_err_map(int count, const tk_error_entry* table) {
  trace(2, "error_handler::load_err_map");
  texts_.load_map(count, table);
}

void error_handler::set_object_description(const std::u16string& table) {
  description_ = tk_to_ansi(table);
}

void error_handler::set_object_description(const std::u16string& table, int record) {
  description_ = tk_to_ansi(tk_wformat(u"%s, record #%d", table.c_str(), record));
}

std::string error_handler::message_for(const tk_exception& error) {
  std::string message;
  if (!description_.empty()) message = description_ + ": ";
  std::string text = texts_.convert(error.code());
  message += text.empty() ? error.text() : text;
  return message;
}

void error_handler::handle(const tk_exception& error, bool at_run_level) {
  trace(2, "error_handler::handle");
  if (error.level() >= 2) internal_error(error);

  std::string message = message_for(error);
  trace(3, "Error:\n%s", message.c_str());
  std::replace(message.begin(), message.end(), '\n', ' ');

  if (front_end_)
    handle_with_front_end(error, message, at_run_level);
  else
    handle_on_console(error, message);
}

void error_handler::internal_error(const tk_exception& error) {
  trace(3, "Internal error:\n%s", error.text().c_str());
  // Shown even in silent mode: the process is about to end.
  if (front_end_)
    front_end_->show_internal_error(error.text());
  else
    print_line("Internal error: " + error.text());
  end_process();
}

void error_handler::handle_on_console(const tk_exception& error, const std::string& message) {
  if (!do_not_show_) {
    print_line("Error:");
    print_line(message);
  }
  if (error.level() == 1) {
    trace(1, "Got 1-level error");
    end_process();
  }
  trace(1, "Got 0-level error");
}

void error_handler::handle_with_front_end(const tk_exception& error, const std::string& message,
                                          bool at_run_level) {
  if (front_end_->is_up() && front_end_->error_line_count() < max_listed_errors)
    front_end_->append_error_line(tk_from_ansi(message));

  if (error.level() == 1) {
    trace(1, "Got 1-level error");
    if (!do_not_show_) {
      trace(1, "Step 1");
      front_end_->show_error(message);
    }
    trace(1, "Step 2");
    if (!at_run_level) throw tk_final_exception();
    return;
  }

  trace(1, "Got 0-level error");
  if (do_not_show_) return;
  error_front_end::answer answer = front_end_->ask_continue(message);
  if (answer.abort && !at_run_level) throw tk_final_exception();
  do_not_show_ = answer.do_not_show;
}
