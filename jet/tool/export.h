#pragma once
// Tables and rows for scripts: `jetutil tables` (the user tables' names in
// catalog order) and `jetutil export` (one table as CSV, RFC 4180).
#include <ostream>
#include <string>
#include <vector>

class jet_database;
struct jet_catalog_entry;

// Local tables that are not system tables, in catalog order.
std::vector<const jet_catalog_entry*> jet_user_tables(const jet_database& db);

// A header line of column names, then one line per row, every line ended by
// CRLF. Fields holding a comma, quote, CR or LF are quoted, quotes doubled.
// Text is UTF-8; dates "YYYY-MM-DD HH:MM:SS"; numbers plain with '.';
// Yes/No as 1 or 0; binary as 0x and hexadecimal digits; Null as nothing.
void jet_export_csv(const jet_database& db, const jet_catalog_entry& table, std::ostream& out);

// One field as it is written: quoted when it must be.
std::string jet_csv_field(const std::string& utf8);
