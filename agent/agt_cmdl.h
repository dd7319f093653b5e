#pragma once
// The agent's command line: the option table, the parser that fills the
// converter's settings, and the way out with a message.
#include <string>

#include "TK/tk_cmdli.h"

// Option ids; the table's order, not the ids, decides which prefix matches.
enum agent_option {
  opt_acc_ver = 0,
  opt_dest = 1,
  opt_help = 2,
  opt_logfile = 3,
  opt_mode = 4,
  opt_oracle_host = 5,
  opt_oracle_user = 6,
  opt_oracle_password = 7,
  opt_port = 8,
  opt_silent = 9,
  opt_skip_idx = 10,
  opt_src = 11,
  opt_tab_def = 12,
  opt_tab_file = 13,
  opt_profile = 14,
};

// Ends with {0, ""}.
extern const tk_cmdli_option agent_options[];

// Fills the converter's settings from the arguments. False when an argument
// matched no option (the caller shows the usage text). Messages about missing
// settings end the process through print_and_exit; errors of the log file
// and internal errors travel as tk_exceptions.
bool parse_cmd_line(int argc, const char* const* argv);

// Overwrites the value of each password argument with '*' (its length
// kept), in the process's own argument memory, so that ps and
// /proc/PID/cmdline no longer show it. argv[0] is skipped.
void mask_secret_arguments(int argc, char** argv);

// Traces the message and, unless the converter is quiet, writes it with a
// line break to standard error; then ends the process with exit code -1.
[[noreturn]] void print_and_exit(const std::string& message);
