#pragma once
// Consistency check of a whole database for `jetutil check`: every table's
// definition, page maps, data pages and rows (long values included), the
// row counts the definitions carry (a stale one is a note), and every index whose keys the engine
// can encode, rebuilt from the rows and compared entry by entry.
#include <string>
#include <vector>

class jet_database;

struct jet_check_report {
  int tables = 0;
  long rows = 0;
  int indexes_verified = 0;    // rebuilt from the rows and found equal to the stored entries
  int indexes_unverified = 0;  // holding keys the engine cannot encode yet
  std::vector<std::string> problems;  // empty when the file is consistent
  // What differs from a fresh file but that Access itself leaves and reads
  // without complaint: a definition's row count behind its rows (Access
  // corrects such counts only when it compacts the file).
  std::vector<std::string> notes;
};

jet_check_report jet_check_database(const jet_database& db);
