#pragma once
// Oracle's SQL functions as SQLite application functions: NVL, NVL2, DECODE,
// TO_CHAR, TO_NUMBER, TO_DATE, TO_TIMESTAMP, HEXTORAW, RAWTOHEX, EMPTY_CLOB,
// EMPTY_BLOB, BFILENAME, SYSDATE, SYSTIMESTAMP, SYS_GUID, UPPER, LOWER, SUBSTR, TRUNC,
// ROUND, CONCAT, MOD, RPAD, LPAD. Their errors carry Oracle's message text.
#include <sqlite3.h>

#include <string>

namespace ocl {

void register_functions(sqlite3* db, const std::string& user);

}  // namespace ocl
