#include "jet/format/column_type.h"

namespace jet_type {

const char* name(uint8_t type) {
  switch (type) {
    case boolean: return "boolean";
    case byte: return "byte";
    case integer: return "integer";
    case long_integer: return "long";
    case currency: return "currency";
    case single: return "single";
    case double_: return "double";
    case date_time: return "datetime";
    case binary: return "binary";
    case text: return "text";
    case long_binary: return "longbinary";
    case memo: return "memo";
    case guid: return "guid";
    case numeric: return "numeric";
    default: return "unknown";
  }
}

}  // namespace jet_type
