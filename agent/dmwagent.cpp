// DMWAGENT: the console program for unattended conversions.
#include <clocale>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <sys/prctl.h>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "agent/agt_cmdl.h"
#include "agent/agt_dest.h"
#include "agent/agt_prog.h"
#include "agent/agt_usage.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
  // The Oracle password is in this process from here to its end: no core
  // file or other user's debugger may read it from memory.
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  // Parsed from copies; the arguments themselves, which ps shows, lose the
  // password at once.
  std::vector<std::string> arguments(argv, argv + argc);
  mask_secret_arguments(argc, argv);
  std::vector<const char*> parsed_argv;
  for (const std::string& argument : arguments) parsed_argv.push_back(argument.c_str());

  // Narrow text follows the user's locale, as the ANSI code page would.
  std::setlocale(LC_ALL, "");
#ifdef __GLIBC__
  // A fixed mmap threshold: blocks of 128 KiB and more (long-value
  // buffers, sort and key-set buffers) get their own mappings and go back to the
  // system when freed. Left to itself, glibc raises the threshold to the
  // largest block freed so far and the trim threshold to twice that, so the
  // next large blocks come from the heap, leave holes in it, and the heap's
  // top is no longer returned: the peak then creeps up with the length of
  // the conversion. Fixing it also keeps the trim threshold at its 128 KiB
  // default. Blocks that large are few (row buffers are kept from row to
  // row), so the mappings' system calls do not show in a conversion's time.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  // Access 2000 files are written by our own engine, reached as DAO 3.6.
  jet_register_dao_engine();

  tk_trace log("", false, 3, false);  // enabled by --logfile=
  error_handler handler(dmw_oracle_error_text_count, dmw_oracle_error_texts);
  handler.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);

  std::optional<dunmarrow_convertor> converter;
  try {
    converter.emplace(dmw_front_end::agent);
    const bool parsed = argc >= 2 && parse_cmd_line(argc, parsed_argv.data());
    for (std::string& argument : arguments) tk_wipe(argument);
    if (!parsed) print_and_exit(agent_usage_text());
    try {
      converter->connect_oracle_server(converter->source_name());
    } catch (const tk_exception& error) {
      // The run cannot start without its source: after the "Error:" lines
      // the agent ends as it does for every other failure that stops it.
      handler.handle(error, false);
      converter.reset();
      return -1;
    }
    check_dest(converter->dest_name());
    {
      progress_display progress(*converter);
      progress.start(!converter->is_quiet());
      (*converter)();
    }
    if (converter->failed_before_converting()) {
      // The "Error:" lines are out; nothing was converted.
      converter.reset();
      return -1;
    }
  } catch (const tk_exception& error) {
    handler.handle(error, false);
  } catch (const std::exception& error) {
    print_and_exit(error.what());
  }
  return 0;
}
