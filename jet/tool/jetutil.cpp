// jetutil: the engine's own command-line tool.
//   jetutil dump FILE [--no-rows] [--no-system]   the database as JSON
//   jetutil check FILE                            exit 0 only when consistent
//   jetutil create FILE --format 2000|97          a new, empty database (Access 2000 or 97)
//   jetutil tables FILE                           the user tables, one a line, in catalog order
//   jetutil export FILE TABLE                     one table's rows as CSV
#include <cstring>
#include <iostream>
#include <string>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/format/error.h"
#include "jet/tool/check.h"
#include "jet/tool/dump.h"
#include "jet/tool/export.h"
#include "platform/codepage.h"

namespace {

int usage() {
  std::cerr << "usage: jetutil dump FILE [--no-rows] [--no-system]\n"
               "       jetutil check FILE\n"
               "       jetutil create FILE --format 2000|97\n"
               "       jetutil tables FILE\n"
               "       jetutil export FILE TABLE\n";
  return 2;
}

int run_dump(int argc, char** argv) {
  if (argc < 3) return usage();
  jet_dump_options options;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-rows") == 0) options.rows = false;
    else if (std::strcmp(argv[i], "--no-system") == 0) options.system_tables = false;
    else return usage();
  }
  jet_database db(argv[2], true);
  jet_dump_json(db, std::cout, options);
  return 0;
}

int run_check(int argc, char** argv) {
  if (argc != 3) return usage();
  jet_database db(argv[2], true);
  jet_check_report report = jet_check_database(db);
  for (const std::string& problem : report.problems) std::cout << "problem: " << problem << '\n';
  for (const std::string& note : report.notes) std::cout << "note: " << note << '\n';
  std::cout << report.tables << " tables, " << report.rows << " rows, " << report.indexes_verified
            << " indexes checked against their rows";
  if (report.indexes_unverified)
    std::cout << " (" << report.indexes_unverified << " with keys not checked yet)";
  std::cout << "; " << (report.problems.empty() ? "consistent" : "NOT consistent") << '\n';
  return report.problems.empty() ? 0 : 1;
}

int run_create(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[3], "--format") != 0) return usage();
  const jet_format* format = nullptr;
  if (std::strcmp(argv[4], "2000") == 0) format = &jet_format_jet4();
  else if (std::strcmp(argv[4], "97") == 0) format = &jet_format_jet3(1252);
  else return usage();
  jet_create_database(argv[2], *format);
  return 0;
}

int run_tables(int argc, char** argv) {
  if (argc != 3) return usage();
  jet_database db(argv[2], true);
  for (const jet_catalog_entry* table : jet_user_tables(db)) std::cout << platform::utf16_to_utf8(table->name) << '\n';
  return 0;
}

int run_export(int argc, char** argv) {
  if (argc != 4) return usage();
  jet_database db(argv[2], true);
  // The name as the user typed it, compared as Access compares names.
  const std::u16string name = platform::utf8_to_utf16(argv[3]);
  for (const jet_catalog_entry* table : jet_user_tables(db)) {
    if (!jet_same_name(table->name, name)) continue;
    jet_export_csv(db, *table, std::cout);
    return 0;
  }
  std::cerr << "jetutil: no table " << argv[3] << " in " << argv[2] << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  try {
    if (command == "dump") return run_dump(argc, argv);
    if (command == "check") return run_check(argc, argv);
    if (command == "create") return run_create(argc, argv);
    if (command == "tables") return run_tables(argc, argv);
    if (command == "export") return run_export(argc, argv);
    return usage();
  } catch (const jet_error& error) {
    std::cerr << "jetutil: error " << error.number() << ": " << error.what() << '\n';
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "jetutil: " << error.what() << '\n';
    return 1;
  }
}
