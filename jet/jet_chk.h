#pragma once
// Consistency check of a whole database for `jetutil check`: every table's
// definition, page maps, data pages and rows (long values included), and the
// row counts the definitions carry.
#include <string>
#include <vector>

class jet_database;

struct jet_check_report {
  int tables = 0;
  long rows = 0;
  std::vector<std::string> problems;  // empty when the file is consistent
};

jet_check_report jet_check_database(const jet_database& db);
