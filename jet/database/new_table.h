#pragma once
// Creating a table in a database open for update: the definition (column
// layout as Access lays it out), the page maps of the table, its long-value
// columns and its indexes, an empty leaf page per index, and the table's
// row in the catalog.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/table/properties.h"

class jet_database;

struct jet_new_column {
  std::u16string name;
  uint8_t type = 0;         // jet_type; DAO's field type codes
  uint16_t size = 0;        // Text: characters; Binary: bytes; others: ignored
  bool required = false;
  bool auto_increment = false;  // Long only
};

struct jet_new_index {
  std::u16string name;
  std::vector<std::pair<std::u16string, bool>> columns;  // name, ascending
  bool primary = false;
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
};

// Returns the new table's definition page. Raises 3010 when the name is
// taken, 3125 for an empty or over-long name, 3191 for a repeated column,
// 3001 for other impossible definitions.
// `column_properties`, when given, holds each column's properties (Required,
// AllowZeroLength, DefaultValue...) in column order, for the table's property block.
uint32_t jet_create_table(jet_database& db, const std::u16string& name, const std::vector<jet_new_column>& columns,
                          const std::vector<jet_new_index>& indexes,
                          const std::vector<std::vector<jet_property>>& column_properties = {});

class jet_pager;
class jet_map_rows;
struct jet_table_def;

// Writes a laid-out definition to new pages: `chain` (or pages appended when
// empty) for the definition, map rows from `maps`, an empty leaf per index.
void jet_write_new_table(jet_pager& pager, jet_table_def& def, jet_map_rows& maps, std::vector<uint32_t> chain);

// The current local time as an OLE date.
double jet_ole_now();
