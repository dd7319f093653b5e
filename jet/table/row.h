#pragma once
// Rows: column count, fixed area, variable area, variable offset table
// (stored backwards; Jet 3's one-byte offsets with a jump table after it),
// variable count and null mask at the end. The definition's format says
// which version's widths apply.
#include <cstdint>
#include <vector>

#include "jet/format/byte_view.h"
#include "jet/format/value.h"
#include "jet/table/definition.h"

class jet_pager;

// One column's stored bytes in a row: fixed or variable data as it lies in
// the row (long values: the 12-byte reference). Booleans keep their value
// in `present`.
struct jet_cell {
  bool present = false;
  std::vector<uint8_t> bytes;
};

// Splits a row into one cell per column of `def`, in the definition's column
// order; offsets are checked (3049).
// `row_columns`, when given, receives the column count the row was written with.
std::vector<jet_cell> jet_split_row(const jet_table_def& def, const jet_view& row, uint16_t* row_columns = nullptr);
// The same into `cells` (replaced), whose allocations are used again.
void jet_split_row(const jet_table_def& def, const jet_view& row, std::vector<jet_cell>& cells,
                   uint16_t* row_columns = nullptr);
// Lays cells out as a row: the inverse of jet_split_row. New rows carry every
// column of the table (row_columns 0); a row rewritten keeps its own count.
std::vector<uint8_t> jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells,
                                  uint16_t row_columns = 0);
// The same into `row` (replaced), whose allocation is used again.
void jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells, std::vector<uint8_t>& row,
                  uint16_t row_columns = 0);
// What laying out a row takes from the definition alone: computed once per
// table, it leaves jet_join_row only the row's own values to look at.
struct jet_row_layout {
  uint32_t row_columns = 0;  // the column count the rows carry
  uint32_t count_size = 0;   // of that count
  uint32_t fixed_size = 0;   // of the fixed area
  uint32_t mask_size = 0;    // of the null mask
  uint32_t var_slots = 0;    // variable offsets before the end-of-data one
  bool var_table = false;    // the table has variable columns, so rows carry the table
  bool wide = false;         // two-byte offsets (Jet 4)
  bool all_columns = true;   // every column of the table is one the rows carry
  bool shared_slots = false;  // variable columns share a slot (a damaged definition)
  std::vector<int32_t> slot_column;  // per variable slot, its column's position in the definition, or -1
};
// The layout of rows of `def` carrying `row_columns` columns (0: every column).
jet_row_layout jet_layout_rows(const jet_table_def& def, uint16_t row_columns = 0);
// jet_join_row with the layout already worked out.
void jet_join_row(const jet_table_def& def, const jet_row_layout& layout, const std::vector<jet_cell>& cells,
                  std::vector<uint8_t>& row);
// Sizes `row` and writes all but the fixed values and the null mask: the
// column count, the variable data (the cells of the slots' columns that are
// present), its offsets and their count. The fixed area and the mask are
// zero; the caller sets them. Assumes a layout without shared slots.
void jet_frame_row(const jet_row_layout& layout, const std::vector<jet_cell>& cells, std::vector<uint8_t>& row);

// A stored cell as a value; long values are fetched through `pager`.
jet_value jet_cell_value(const jet_pager& pager, const jet_column& column, const jet_cell& cell);

// Decodes one row into one value per column of `def`, in the definition's
// column order. Long values are fetched through `pager`.
std::vector<jet_value> jet_decode_row(const jet_pager& pager, const jet_table_def& def, const jet_view& row);
