#include "agent/agt_cmdl.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TK/tk_fname.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "agent/agt_tabf.h"
#include "agent/agt_usage.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/init_conv.h"

const tk_cmdli_option agent_options[] = {
    {opt_acc_ver, "--acc_ver="},
    {opt_dest, "--dest="},
    {opt_help, "--help"},
    {opt_logfile, "--logfile="},
    {opt_mode, "--mode="},
    {opt_oracle_host, "--oraclh="},
    {opt_oracle_password, "--oraclp="},
    {opt_oracle_user, "--oraclu="},
    {opt_port, "--port="},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_skip_idx, "--skip_idx"},
    {opt_src, "--src="},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {0, ""},
};

namespace {
const char kInvalidMode[] = "Invalid merge/overwrite mode";

// A name the locale cannot read would reach the file system as some other
// name (its substitutes): refused instead.
void check_file_name(const std::string& text, const char* option) {
  if (!tk_is_valid_ansi(text))
    print_and_exit(std::string("The name given with ") + option +
                   " is not valid in the locale's character set.");
}

// The value of an argument that carries a password, or null.
char* secret_value(char* argument) {
  for (const tk_cmdli_option* entry = agent_options; *entry->prefix; ++entry) {
    const size_t length = std::strlen(entry->prefix);
    if (std::strncmp(argument, entry->prefix, length) != 0) continue;
    // The first prefix that begins the argument decides, as in parsing.
    return entry->id == opt_oracle_password ? argument + length : nullptr;
  }
  return nullptr;
}

// A decimal integer as the C library reads one: leading blanks and a sign
// are taken, reading stops at the first other character, no digits give 0.
int read_integer(const std::string& text) {
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The mode must be written exactly as the number it is, and be 0 to 3.
void set_mode_option(dunmarrow_convertor& converter, const std::string& text) {
  int mode = read_integer(text);
  trace(2, "\tgot mode %d", mode);
  if (text != std::to_string(mode) || mode < 0 || mode > 3) print_and_exit(kInvalidMode);
  converter.set_mode(mode);
}

// Completed against the current directory; the extension becomes ".mdb"
// whatever it was.
void set_destination_option(dunmarrow_convertor& converter, const std::string& text) {
  trace(1, "parse_cmd_line - got dest %s", text.c_str());
  if (text.empty()) {
    // Completing an empty name would give the program's own file.
    converter.set_dest_name(u"");
    return;
  }
  tk_file_wname name(tk_from_ansi(text));
  converter.set_dest_name(name.folder() + name.name() + u".mdb");
}

struct oracle_options {
  std::u16string host = u"localhost";
  std::u16string user;
  std::u16string password;
  std::u16string port = u"1521";
  // The converter keeps its own copy; this one goes with the parse.
  ~oracle_options() { tk_wipe(password); }
};

// Profiles are plain text: a password in one that others can read is theirs too.
bool readable_by_others(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

void check_required_settings(dunmarrow_convertor& converter, const oracle_options& oracle) {
  if (converter.dest_name().empty()) print_and_exit("You should enter MS Access database name");
  if (converter.source_name().empty()) print_and_exit("You should enter Oracle database name");
  if (oracle.host.empty())
    print_and_exit("You should enter network name or IP address of Oracle server");
  if (converter.destination_format() == dunmarrow_convertor::format_not_given)
    print_and_exit("You should specify MS Access format version (use '--acc_ver' option)");
}
}  // namespace

void mask_secret_arguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (char* value = secret_value(argv[i])) std::memset(value, '*', std::strlen(value));
  }
}

void print_and_exit(const std::string& message) {
  trace(3, "%s", message.c_str());
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter || !converter->is_quiet()) {
    const console_line_scope line;
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  std::fflush(nullptr);
  std::exit(-1);
}

bool parse_cmd_line(int argc, const char* const* argv) {
  trace(1, "parse_cmd_line");
  for (int i = 0; i < argc; ++i) {
    // The trace file shows the argument as ps does once it is masked.
    std::string shown = argv[i];
    if (char* value = secret_value(shown.data())) std::memset(value, '*', std::strlen(value));
    trace(1, "parameter #%d: %s", i, shown.c_str());
  }

  dunmarrow_convertor& converter = dunmarrow_convertor::get();
  oracle_options oracle;
  bool profile_loaded = false;
  std::string profile_warning;  // once, however many profiles

  tk_cmdli args(agent_options, argc, argv);
  for (; args.more(); args.next()) {
    const std::string& value = args.value();
    switch (args.id()) {
      case opt_acc_ver:
        trace(2, "\tgot format version: %s", value.c_str());
        converter.set_destination_format(read_integer(value));
        break;
      case opt_dest:
        check_file_name(value, "--dest=");
        set_destination_option(converter, value);
        break;
      case opt_help:
        print_and_exit(agent_usage_text());
      case opt_logfile:
        trace(1, "parse_cmd_line - got logfile %s", value.c_str());
        check_file_name(value, "--logfile=");
        converter.set_logfile(value);
        break;
      case opt_mode:
        set_mode_option(converter, value);
        break;
      case opt_oracle_host:
        oracle.host = tk_from_ansi(value);
        break;
      case opt_oracle_user:
        oracle.user = tk_from_ansi(value);
        break;
      case opt_oracle_password:
        oracle.password = tk_from_ansi(value);
        args.wipe_value();
        break;
      case opt_port:
        oracle.port = tk_from_ansi(value);
        break;
      case opt_profile:
        trace(1, "parse_cmd_line - got profile %s", value.c_str());
        profile_loaded = converter.load_profile_file(tk_from_ansi(value));
        if (!profile_loaded) break;
        // Going on in mode 0 would overwrite the file the profile meant to keep.
        if (converter.profile_mode_refused()) print_and_exit(kInvalidMode);
        if (profile_warning.empty() && converter.profile_held_password() && readable_by_others(value)) {
          profile_warning = "Warning: profile " + value +
                            " holds a password and can be read by other users (chmod 600 " + value + ").";
        }
        break;
      case opt_silent:
        trace(1, "parse_cmd_line - silent mode is ON");
        converter.set_quiet(true);
        error_handler::get().set_do_not_show(true);
        break;
      case opt_skip_idx:
        trace(2, "\tskip converting indexes");
        converter.set_skip_indexes(true);
        break;
      case opt_src:
        trace(2, "\tgot src %s", value.c_str());
        converter.set_source_name(tk_from_ansi(value));
        break;
      case opt_tab_def:
        trace(2, "\tconvert table definitions only");
        converter.set_only_definitions(true);
        break;
      case opt_tab_file:
        trace(2, "\tparse_cmd_line - got tab_file %s", value.c_str());
        process_tab_file(value);
        break;
      default:  // matched no option; refused below
        break;
    }
  }
  if (!profile_warning.empty() && !converter.is_quiet()) {
    std::fputs((profile_warning + "\n").c_str(), stderr);
    std::fflush(stderr);
  }
  if (!args.unmatched().empty()) return false;

  // A profile brings its own Oracle settings; the command line's are dropped.
  if (!profile_loaded) {
    check_required_settings(converter, oracle);
    converter.store_oracle_settings(oracle.host, oracle.user, oracle.password, oracle.port);
  }
  return true;
}
