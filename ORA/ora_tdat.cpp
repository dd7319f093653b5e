#include <cstring>

#include "ORA/ora_type.h"
#include "TK/tk_trace.h"

ora_date::ora_date(OCIParam* column, ub2 type_code) : ora_type(column, type_code), buffer_(7, 0) {}

void ora_date::define(OCIStmt* statement, ub4 position, ub4 rows) {
  // Timestamps come in the DATE form too: fractions and zones are dropped.
  buffer_.assign(static_cast<size_t>(rows) * 7, 0);
  define_buffer(statement, position, rows, buffer_.data(), 7, SQLT_DAT);
}

int ora_date::canon_dt_item(int byte) {
  trace(1, "ora_date::canon_dt_item(%d)", byte);
  return byte > 100 ? byte - 100 : 100 - byte;
}

SYSTEMTIME ora_date::to_system_time(const BYTE bytes[7]) {
  auto less_one = [](BYTE b) { return static_cast<WORD>(b == 0 ? 0 : b - 1); };
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(canon_dt_item(bytes[0]) * 100 + canon_dt_item(bytes[1]));
  time.wMonth = bytes[2];
  time.wDay = bytes[3];
  time.wHour = less_one(bytes[4]);
  time.wMinute = less_one(bytes[5]);
  time.wSecond = less_one(bytes[6]);
  return time;
}

void ora_date::to_variant(ole_variant& value) {
  const BYTE* bytes = buffer_.data() + static_cast<size_t>(slot_) * 7;
  trace(1, "ora_date::to_variant(src=%d,%d,%d,%d,%d,%d,%d)", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
        bytes[5], bytes[6]);
  // Every code of the family carries its century, timestamps as much as DATE.
  SYSTEMTIME time = to_system_time(bytes);
  trace(1, "Got datetime: %02d/%02d/%04d %02d:%02d:%02d", time.wDay, time.wMonth, time.wYear, time.wHour,
        time.wMinute, time.wSecond);
  value.set(time);
}
