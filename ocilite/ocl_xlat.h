#pragma once
// Oracle's SQL dialect rewritten for SQLite, token by token: quoted names
// stay quoted, '' becomes NULL (Oracle's empty string), DATE/TIMESTAMP/
// INTERVAL literals become ocilite's stored forms, SYSDATE, SYSTIMESTAMP and
// USER become calls, MINUS becomes EXCEPT. Oracle's functions are SQLite
// application functions (ocl_func), so calls pass through unchanged.
#include <string>
#include <vector>

#include "ocilite/ocl_lex.h"

namespace ocl {

// Tokens [first, last) of a statement; false with an Oracle error.
bool translate(const std::string& sql, const std::vector<token>& tokens, size_t first,
               size_t last, std::string& sqlite_sql, oracle_error& error);

}  // namespace ocl
