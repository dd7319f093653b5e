#include "ocilite/ocl_err.h"

#include <cstdio>
#include <map>

#include "ocilite/ocl_lex.h"

namespace ocl {

namespace {

const std::map<int, const char*>& messages() {
  static const std::map<int, const char*> table = {
      {1, "unique constraint (%s) violated"},
      {900, "invalid SQL statement"},
      {901, "invalid CREATE command"},
      {903, "invalid table name"},
      {911, "invalid character"},
      {902, "invalid datatype"},
      {904, "%s: invalid identifier"},
      {905, "missing keyword"},
      {906, "missing left parenthesis"},
      {907, "missing right parenthesis"},
      {909, "invalid number of arguments"},
      {922, "missing or invalid option"},
      {938, "not enough arguments for function"},
      {950, "invalid DROP option"},
      {957, "duplicate column name"},
      {969, "missing ON keyword"},
      {972, "identifier is too long"},
      {918, "column ambiguously defined"},
      {923, "FROM keyword not found where expected"},
      {932, "inconsistent datatypes: %s"},
      {933, "SQL command not properly ended"},
      {936, "missing expression"},
      {942, "table or view does not exist"},
      {955, "name is already used by an existing object"},
      {1002, "fetch out of sequence"},
      {1007, "variable not in select list"},
      {1017, "invalid username/password; logon denied"},
      {1400, "cannot insert NULL into (%s)"},
      {1403, "no data found"},
      {1405, "fetched column value is NULL"},
      {1406, "fetched column value was truncated"},
      {1418, "specified index does not exist"},
      {1455, "converting column overflows integer datatype"},
      {1426, "numeric overflow"},
      {1438, "value larger than specified precision allowed for this column"},
      {1465, "invalid hex number"},
      {1481, "invalid number format model"},
      {1482, "unsupported character set"},
      {1722, "invalid number"},
      {1740, "missing double quote in identifier"},
      {1741, "illegal zero-length identifier"},
      {1754, "a table may contain only one column of type LONG"},
      {1756, "quoted string not properly terminated"},
      {1821, "date format not recognized"},
      {1841, "(full) year must be between -4713 and +9999, and not be 0"},
      {1843, "not a valid month"},
      {1847, "day of month must be between 1 and last day of month"},
      {1850, "hour must be between 0 and 23"},
      {1851, "minute must be between 0 and 59"},
      {1852, "seconds must be between 0 and 59"},
      {1861, "literal does not match format string"},
      {1867, "the interval is invalid"},
      {1920, "user name '%s' conflicts with another user or role name"},
      {2253, "constraint specification not allowed here"},
      {2260, "table can have only one primary key"},
      {2261, "such unique or primary key already exists in the table"},
      {2256, "number of referencing columns must match referenced columns"},
      {2264, "name already used by an existing constraint"},
      {2270, "no matching unique or primary key for this column-list"},
      {2290, "check constraint (%s) violated"},
      {2291, "integrity constraint (%s) violated - parent key not found"},
      {2292, "integrity constraint (%s) violated - child record found"},
      {3114, "not connected to ORACLE"},
      {12154, "TNS:could not resolve the connect identifier specified"},
      {12162, "TNS:net service name is incorrectly specified"},
      {12514, "TNS:listener does not currently know of service requested in connect descriptor"},
      {12541, "TNS:no listener"},
      {12545, "Connect failed because target host or object does not exist"},
      {12899, "value too large for column %s"},
      {22275, "invalid LOB locator specified"},
      {24315, "illegal attribute type"},
      {24333, "zero iteration count"},
      {24334, "no descriptor for this position"},
      {24337, "statement handle not prepared"},
      {24338, "statement handle not executed"},
      {24343, "user defined callback error"},
      {24345, "A Truncation or null fetch error occurred"},
      {24801, "illegal parameter value in OCI lob function"},
      {28000, "the account is locked"},
      {913, "too many values"},
      {947, "not enough values"},
      {1031, "insufficient privileges"},
      {1407, "cannot update (%s) to NULL"},
      {1430, "column being added already exists in table"},
      {1442, "column to be modified to NOT NULL is already NOT NULL"},
      {1449, "column contains NULL values; cannot alter to NOT NULL"},
      {1451, "column to be modified to NULL cannot be modified to NULL"},
      {1830, "date format picture ends before converting entire input string"},
      {1835, "day of week conflicts with Julian date"},
      {1846, "not a valid day of the week"},
      {2248, "invalid option for ALTER SESSION"},
      {2275, "such a referential constraint already exists in the table"},
      {2289, "sequence does not exist"},
      {2293, "cannot validate (%s) - check constraint violated"},
      {2296, "cannot enable (%s) - null values found"},
      {2298, "cannot validate (%s) - parent keys not found"},
      {2299, "cannot validate (%s) - duplicate keys found"},
      {2437, "cannot validate (%s) - primary key violated"},
      {2443, "Cannot drop constraint  - nonexistent constraint"},
      {3001, "unimplemented feature"},
      {940, "invalid ALTER command"},
      {2449, "unique/primary keys in table referenced by foreign keys"},
      {1439, "column to be modified must be empty to change datatype"},
      {1440, "column to be modified must be empty to decrease precision or scale"},
      {1441, "cannot decrease column length because some value is too big"},
      {926, "missing VALUES keyword"},
      {928, "missing SELECT keyword"},
      {1735, "invalid ALTER TABLE option"},
      {1780, "string literal required"},
      {2273, "this unique/primary key is referenced by some foreign keys"},
      {1435, "user does not exist"},
      {4002, "INCREMENT must be a nonzero integer"},
      {4004, "MINVALUE must be less than MAXVALUE"},
      {4006, "START WITH cannot be less than MINVALUE"},
      {4008, "START WITH cannot be more than MAXVALUE"},
      {4010, "the number of values to CACHE must be greater than 1"},
      {4013, "number to CACHE must be less than one cycle"},
      {4043, "object %s does not exist"},
      {4063, "%s has errors"},
      {4080, "trigger '%s' does not exist"},
      {8002, "sequence %s.CURRVAL is not yet defined in this session"},
      {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
      {25175, "no PRIMARY KEY constraint found"},
      {30674, "identity column cannot have a default value"},
      {32795, "cannot insert into a generated always identity column"},
      {32796, "cannot update a generated always identity column"},
  };
  return table;
}

bool starts_with(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

}  // namespace

oracle_error make_error(int number, const std::string& argument) {
  auto found = messages().find(number);
  std::string body = found != messages().end() ? found->second : "unknown error";
  auto mark = body.find("%s");
  if (mark != std::string::npos) body.replace(mark, 2, argument);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", number);
  return {number, prefix + body};
}

oracle_error error_from_sqlite(const std::string& message, const std::string& user) {
  auto after = [&](const char* prefix) { return message.substr(std::string(prefix).size()); };
  if (starts_with(message, "no such table: ") || starts_with(message, "no such view: "))
    return make_error(942);
  if (starts_with(message, "no such column: ")) {
    std::string name = oracle_name(after("no such column: "));
    auto dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot) + "\".\"" + name.substr(dot + 1);
    return make_error(904, "\"" + name + "\"");
  }
  if (starts_with(message, "no such function: "))
    return make_error(904, "\"" + after("no such function: ") + "\"");
  if (starts_with(message, "wrong number of arguments")) return make_error(909);
  if (starts_with(message, "ambiguous column name")) return make_error(918);
  if (starts_with(message, "NOT NULL constraint failed: ")) {
    std::string target = after("NOT NULL constraint failed: ");
    auto dot = target.find('.');
    std::string where = "\"" + user + "\".\"" + oracle_name(target.substr(0, dot)) + "\".\"" +
                        (dot == std::string::npos ? std::string() : oracle_name(target.substr(dot + 1))) + "\"";
    return make_error(1400, where);
  }
  if (starts_with(message, "table ") && message.find("already exists") != std::string::npos)
    return make_error(955);
  if (starts_with(message, "index ") && message.find("already exists") != std::string::npos)
    return make_error(955);
  if (message.find("syntax error") != std::string::npos) return make_error(933);
  if (message.find("incomplete input") != std::string::npos) return make_error(936);
  oracle_error other = make_error(900);
  other.text += " (" + message + ")";
  return other;
}

}  // namespace ocl
