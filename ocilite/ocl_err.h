#pragma once
// Oracle errors as ocilite raises them: Oracle's number and Oracle's own text
// (UTF-8), e.g. 942 "ORA-00942: table or view does not exist".
#include <string>

namespace ocl {

struct oracle_error {
  int number = 0;
  std::string text;  // the whole message, starting "ORA-nnnnn: "
};

// The message for an Oracle error number; "%s" in Oracle's text is filled
// with the argument (an identifier, a constraint name, ...).
oracle_error make_error(int number, const std::string& argument = std::string());

// Maps an SQLite failure message to the Oracle error a server would give.
oracle_error error_from_sqlite(const std::string& message, const std::string& user);

}  // namespace ocl
