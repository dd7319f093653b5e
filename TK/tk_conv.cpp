#include "TK/tk_conv.h"

#include <chrono>
#include <thread>

#include "TK/tk_excep.h"
#include "TK/tk_fname.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"

tk_converter::tk_converter() = default;

tk_converter::~tk_converter() = default;

void tk_converter::operator()() {
  while (!is_complete()) wait_step();
  final_step();
}

bool tk_converter::is_complete() { return false; }

void tk_converter::wait_step() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

void tk_converter::final_step() {}

void tk_converter::set_quiet(bool quiet) { quiet_ = quiet; }

void tk_converter::set_logfile(const std::string& name) {
  trace(1, "tk_convertor::set_logfile(%s)", name.c_str());
  if (!name.empty()) {
    if (tk_is_file_exist(name, tk_open_read) && !tk_is_file_exist(name, tk_open_read_write))
      throw tk_exception("Logfile name specifies an existing read-only file.", 1);
    tk_file_name file(name);
    if (!tk_is_path_exist(file.folder()))
      throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
  }
  if (name.empty()) {
    log_file_name_.clear();
    return;
  }
  tk_trace& log = tk_trace::get();  // checked before anything changes
  log_file_name_ = name;
  log.set_file_name(name);
  log.enable();
}
