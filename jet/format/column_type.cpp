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

uint32_t fixed_size(uint8_t type) {
  switch (type) {
    case byte: return 1;
    case integer: return 2;
    case long_integer: case single: return 4;
    case currency: case double_: case date_time: return 8;
    case guid: return 16;
    case numeric: return 17;
    default: return 0;
  }
}

bool is_long_value(uint8_t type) { return type == long_binary || type == memo; }
bool is_textual(uint8_t type) { return type == text || type == memo; }

}  // namespace jet_type
