#pragma once
// What a new, empty database of one version holds, as data: the tables
// written at creation with the columns, flags and indexes Access gives them,
// the catalog rows of the containers, documents and tables with their
// properties, the permission rows and the security ids they name, and the
// bytes of the header page that only this version writes. One template per
// version (access2000_template.cpp, access97_template.cpp); new_database.cpp
// turns any of them into a file.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/format.h"
#include "jet/table/properties.h"

struct jet_template_column {
  const char16_t* name;
  uint8_t type;
  uint16_t var_index;        // for fixed columns: the variable columns before them
  uint8_t flags;
  uint16_t fixed_offset;
  uint16_t length;           // bytes
  uint16_t stored_position;  // place of the descriptor in the definition
};

struct jet_template_index {
  const char16_t* name;
  std::vector<uint16_t> columns;  // column numbers, ascending
  uint8_t flags;                  // as stored: unique 1, ignore nulls 2, required 8, the version's mark
  uint32_t number;                // logical number, which is also its physical index
  bool primary;
};

struct jet_template_table {
  const char16_t* name;
  uint8_t table_type;
  std::vector<jet_template_column> columns;  // by number
  std::vector<jet_template_index> indexes;   // in stored (name) order
};

// One catalog row.
struct jet_template_object {
  const char16_t* name;
  int32_t id;       // a table's id is its definition page instead
  int table;        // index into the template's tables, or -1
  int32_t parent;
  int16_t type;
  uint32_t flags;
  size_t owner;     // index into the security ids
  // The object's properties; a block is stored when there are values or names.
  std::vector<jet_property> properties;
  std::vector<std::u16string> property_names;  // listed first in the names chunk
};

// One permission row.
struct jet_template_ace {
  size_t object;  // index into the objects
  size_t sid;     // index into the security ids
  int32_t rights;
  bool inheritable;
};

// Bytes of page 0 at an offset of the unmasked page.
struct jet_template_bytes {
  uint32_t offset;
  std::vector<uint8_t> bytes;
};

struct jet_database_template {
  const jet_format* format;
  // The first `fixed_tables` take pages 2, 3, ... (the catalog's definition
  // must be page 2); the others follow wherever pages are free.
  std::vector<jet_template_table> tables;
  size_t fixed_tables;
  std::vector<jet_template_object> objects;       // in the order Access stores them
  std::vector<std::vector<uint8_t>> security_ids;
  std::vector<jet_template_ace> aces;             // in the order Access stores them
  // The version of the General sort order: in the header and in every
  // column that carries one.
  uint16_t sort_version;
  std::vector<jet_template_bytes> header;         // more of page 0, before the mask is applied
};

const jet_database_template& jet_access2000_template();
const jet_database_template& jet_access97_template();
