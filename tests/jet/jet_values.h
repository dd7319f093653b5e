#pragma once
// Cell values for tests that write rows through the engine.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/value.h"

inline jet_value number(uint8_t type, int64_t integer, double real = 0) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.integer = integer;
  value.real = real;
  return value;
}

inline jet_value text(uint8_t type, const std::u16string& characters) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.text = characters;
  return value;
}

inline jet_value bytes(uint8_t type, std::vector<uint8_t> content) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.bytes = std::move(content);
  return value;
}
