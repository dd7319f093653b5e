#pragma once
// The session's date formats set by ALTER SESSION (NLS_DATE_FORMAT,
// NLS_TIMESTAMP_FORMAT), kept per SQLite connection so the SQL functions and
// the fetch conversions find them. Empty: ocilite's defaults (DD-MON-RR).
#include <sqlite3.h>

#include <string>

namespace ocl {

void set_nls_format(sqlite3* db, bool timestamp, const std::string& format);
std::string nls_format(sqlite3* db, bool timestamp);
void forget_nls(sqlite3* db);

}  // namespace ocl
