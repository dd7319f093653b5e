#include "UDB/udb_rset.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

udb_recordset::udb_recordset(const std::u16string& name, const std::u16string& select_text, bool owns_schema)
    : name_(name), select_text_(select_text), schema_(owns_schema) {
  trace(1, u"udb_recordset::ctor(%s)", name_.c_str());
}

udb_recordset::udb_recordset(const std::u16string& name, bool owns_schema)
    : udb_recordset(name, std::u16string(), owns_schema) {}

udb_recordset::~udb_recordset() { trace(1, "udb_recordset::dtor"); }

void udb_recordset::convert_record(udb_record& record) const {
  // With the detail trace off, a value already of its column's type (or
  // empty) is left alone: change_type would only write its trace line.
  const bool details = trace_writes(1);
  if (details) trace(1, "udb_recordset::convert_record");
  if (record.size() > schema_.size()) {
    trace(2, "The record has %d values, the destination %d columns", static_cast<int>(record.size()),
          static_cast<int>(schema_.size()));
    throw tk_exception("The structure of data source does not conform to the destination table.", 0);
  }
  for (size_t i = 0; i < record.size(); ++i) {
    udb_field& value = record[i];
    const t_ftd& column = schema_[i];
    if (details) {
      trace(1, u"from=%s, to=%s", value.name().c_str(), column.name.c_str());
    } else {
      const VARTYPE held = value.get_variant().vt;
      if (held == column.type || held == VT_EMPTY || held == VT_NULL) continue;
    }
    value.change_type(column.type);
  }
}
