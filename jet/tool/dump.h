#pragma once
// The database as JSON for `jetutil dump`: header facts, then every table
// with its columns, indexes, properties and rows.
#include <ostream>

class jet_database;

struct jet_dump_options {
  bool rows = true;
  bool system_tables = true;
};

void jet_dump_json(const jet_database& db, std::ostream& out, const jet_dump_options& options);
