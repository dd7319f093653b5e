#pragma once
// Column types as stored in table definitions; codes 1 to 12 are also DAO's
// DataTypeEnum values for the same types.
#include <cstdint>

namespace jet_type {
constexpr uint8_t boolean = 1;
constexpr uint8_t byte = 2;
constexpr uint8_t integer = 3;
constexpr uint8_t long_integer = 4;
constexpr uint8_t currency = 5;
constexpr uint8_t single = 6;
constexpr uint8_t double_ = 7;
constexpr uint8_t date_time = 8;
constexpr uint8_t binary = 9;
constexpr uint8_t text = 10;
constexpr uint8_t long_binary = 11;  // OLE Object
constexpr uint8_t memo = 12;
constexpr uint8_t guid = 15;         // replication id
constexpr uint8_t numeric = 16;      // scaled decimal, 17 bytes

// Name used in dumps ("long", "text", ...); "unknown" for other codes.
const char* name(uint8_t type);
// Bytes in the fixed area, 0 for variable and long-value types and Boolean.
// Inline: every value of every row asks.
inline uint32_t fixed_size(uint8_t type) {
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
inline bool is_long_value(uint8_t type) { return type == long_binary || type == memo; }
inline bool is_textual(uint8_t type) { return type == text || type == memo; }
}  // namespace jet_type

// A row pointer as usage maps, long values and indexes store it: page in the
// upper 24 bits, row number in the low 8.
inline uint32_t jet_row_page(uint32_t pointer) { return pointer >> 8; }
inline uint32_t jet_row_number(uint32_t pointer) { return pointer & 0xff; }
inline uint32_t jet_row_pointer(uint32_t page, uint32_t row) { return page << 8 | (row & 0xff); }
