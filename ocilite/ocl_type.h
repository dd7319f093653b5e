#pragma once
// Oracle column types as ocilite models them: parsed from a CREATE TABLE,
// written back as the column's declared type in SQLite (so a query's result
// columns can be described from SQLite's declared types), and answered in
// the dictionary and in OCI describes with Oracle's names, codes and sizes.
// The database character set is AL32UTF8, the national one AL16UTF16.
#include <string>
#include <vector>

#include "ORA/ora_oci.h"
#include "ocilite/ocl_lex.h"

namespace ocl {

enum class okind {
  number, integer, float_, binary_float, binary_double,
  varchar2, nvarchar2, char_, nchar, long_,
  date, timestamp, timestamp_tz, timestamp_ltz, interval_ym, interval_ds,
  raw, long_raw, clob, nclob, blob, bfile, rowid
};

struct otype {
  okind kind = okind::varchar2;
  int length = 0;               // declared length (characters or bytes)
  bool char_semantics = false;  // VARCHAR2(n CHAR) / CHAR(n CHAR); national types always
  int precision = -1;           // NUMBER/FLOAT precision; -1 when not written
  int scale = -1;               // NUMBER scale; -1 when not written
  int leading = 2;              // interval leading field precision
  int fraction = 6;             // fractional seconds precision

  std::string declared() const;   // the SQLite declared type; parse_declared reads it back
  std::string data_type() const;  // USER_TAB_COLUMNS.DATA_TYPE
  int data_length() const;        // bytes, as the dictionary and describe give them
  int char_length() const;        // characters for the character types, else 0
  bool is_character() const;      // VARCHAR2, NVARCHAR2, CHAR, NCHAR
  bool is_national() const;
  bool is_datetime() const;       // DATE and the TIMESTAMPs
  bool is_numeric() const;        // NUMBER, INTEGER, FLOAT, BINARY_*

  ub2 sqlt() const;  // OCI_ATTR_DATA_TYPE
  sb2 describe_precision() const;
  sb1 describe_scale() const;
  ub1 charset_form() const;
};

// Reads a type at tokens[i]; advances i past it. False with ORA-00902.
bool parse_type(const std::vector<token>& tokens, size_t& i, otype& type, oracle_error& error);
bool parse_declared(const char* declared, otype& type);

// The type a result column is given when SQLite has no declared type for it
// (an expression): from the storage class of its first value.
otype type_of_value(int sqlite_type);

}  // namespace ocl
