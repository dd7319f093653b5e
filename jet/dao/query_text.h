#pragma once
// The query texts the engine understands: "SELECT * FROM [table]" and
// "select count(*) from (" query ")", in any letter case, the brackets
// optional around a plain name. Anything else is refused with DAO's errors
// for a statement it cannot parse.
#include <memory>
#include <string>

struct jd_query {
  bool count = false;                 // one row, one Long field: the rows of `inner` or `table`
  std::u16string table;               // the table read, when there is no inner query
  std::shared_ptr<jd_query> inner;
};

// Raises 3129 for a statement that is not a SELECT and 3141 for one this
// engine cannot parse.
jd_query jd_parse_query(const std::u16string& text);
