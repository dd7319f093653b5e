#pragma once
// Index keys: each column's value as the bytes Access sorts index entries
// by. A flag byte (0x7f ascending, 0x00 null) precedes the value; descending
// columns store every byte inverted.
#include <cstdint>
#include <vector>

#include "jet/jet_tdef.h"
#include "jet/jet_valu.h"

// Key bytes of one character in the "General" sort order (Access 2000).
struct jet_simple_code {
  uint8_t length;
  uint8_t bytes[4];
};
extern const jet_simple_code jet_general_codes[256];

// Appends one column's part of a key. Returns false when the value holds
// something this engine cannot encode yet (text outside the plain codes,
// Binary, GUID, Decimal); the key is then unusable.
bool jet_append_key(std::vector<uint8_t>& key, const jet_column& column, const jet_value& value, bool ascending);
