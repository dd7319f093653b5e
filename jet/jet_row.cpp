#include "jet/jet_row.h"

#include <algorithm>

#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_lval.h"
#include "jet/jet_page.h"
#include "jet/jet_text.h"
#include "jet/jet_type.h"

namespace {

uint32_t stored_size(const jet_column& column) {
  uint32_t size = jet_type::fixed_size(column.type);
  return size ? size : column.length;
}

}  // namespace

std::vector<jet_cell> jet_split_row(const jet_table_def& def, const jet_view& row, uint16_t* columns_out) {
  const std::string& file = row.file();
  uint32_t row_columns = row.u16(0);
  if (columns_out) *columns_out = uint16_t(row_columns);
  uint32_t mask_size = (row_columns + 7) / 8;
  if (mask_size + jet4::row_col_count_size > row.size()) throw jet_corrupt(file, "row shorter than its null mask");
  size_t mask_at = row.size() - mask_size;
  auto present = [&](uint16_t number) {
    return number < row_columns && (row.u8(mask_at + number / 8) >> (number % 8) & 1);
  };

  // Variable offsets: count just before the mask, entries before that in
  // reverse order, and the end-of-data offset after the last entry.
  uint32_t var_count = 0;
  std::vector<uint32_t> var_offsets;
  if (def.var_column_count > 0) {
    if (mask_at < 2) throw jet_corrupt(file, "row too short for its variable table");
    var_count = row.u16(mask_at - 2);
    size_t table_bytes = size_t(var_count + 1) * jet4::row_var_entry_size;
    if (table_bytes + 2 > mask_at) throw jet_corrupt(file, "variable table larger than its row");
    for (uint32_t i = 0; i <= var_count; ++i) {
      uint32_t offset = row.u16(mask_at - 2 - jet4::row_var_entry_size * (i + 1));
      if (offset > mask_at - 2 - table_bytes || (i > 0 && offset < var_offsets.back()))
        throw jet_corrupt(file, "variable column offset outside its row");
      var_offsets.push_back(offset);
    }
  }

  std::vector<jet_cell> cells(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    jet_cell& cell = cells[i];
    cell.present = present(column.number);
    if (!cell.present || column.type == jet_type::boolean) continue;
    if (column.is_fixed()) {
      size_t start = jet4::row_col_count_size + size_t(column.fixed_offset);
      cell.bytes = row.bytes(start, stored_size(column));
    } else if (column.var_index < var_count) {
      uint32_t start = var_offsets[column.var_index];
      cell.bytes = row.bytes(start, var_offsets[column.var_index + 1] - start);
    } else {
      cell.present = false;  // the row predates the column
    }
  }
  return cells;
}

std::vector<uint8_t> jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells,
                                  uint16_t columns_wanted) {
  if (cells.size() != def.columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "Row does not match its table.");
  uint32_t row_columns = columns_wanted ? columns_wanted : def.max_columns;
  uint32_t fixed_size = 0;
  uint32_t var_slots = 0;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    if (column.type == jet_type::boolean) continue;
    if (column.is_fixed()) {
      fixed_size = std::max(fixed_size, uint32_t(column.fixed_offset) + stored_size(column));
    } else if (column.number < row_columns) {
      // Access gives a row a slot for each variable column it has, null or not.
      var_slots = std::max(var_slots, uint32_t(column.var_index) + 1);
    }
  }
  if (def.var_column_count == 0) var_slots = 0;

  std::vector<uint8_t> row(jet4::row_col_count_size + fixed_size, 0);
  jet_put_u16(row.data(), uint16_t(row_columns));
  std::vector<const jet_cell*> by_slot(var_slots, nullptr);
  std::vector<uint8_t> mask((row_columns + 7) / 8, 0);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (cell.present && column.number >= row_columns)
      throw jet_error(jet_dao_error::invalid_argument, "Value for a column the row does not have.");
    if (cell.present) mask[column.number / 8] |= uint8_t(1u << (column.number % 8));
    if (!cell.present || column.type == jet_type::boolean) continue;
    if (column.is_fixed()) {
      if (cell.bytes.size() != stored_size(column))
        throw jet_error(jet_dao_error::invalid_argument, "Fixed value of the wrong size.");
      std::copy(cell.bytes.begin(), cell.bytes.end(), row.begin() + jet4::row_col_count_size + column.fixed_offset);
    } else {
      by_slot[column.var_index] = &cell;
    }
  }
  if (def.var_column_count > 0) {
    std::vector<uint16_t> offsets;
    for (const jet_cell* cell : by_slot) {
      offsets.push_back(uint16_t(row.size()));
      if (cell) row.insert(row.end(), cell->bytes.begin(), cell->bytes.end());
    }
    offsets.push_back(uint16_t(row.size()));
    for (size_t i = offsets.size(); i-- > 0;) {
      row.push_back(uint8_t(offsets[i]));
      row.push_back(uint8_t(offsets[i] >> 8));
    }
    row.push_back(uint8_t(var_slots));
    row.push_back(uint8_t(var_slots >> 8));
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

jet_value jet_cell_value(const jet_pager& pager, const jet_column& column, const jet_cell& cell) {
  if (column.type == jet_type::boolean) {
    jet_value value = jet_value::null(column.type);
    value.is_null = false;
    value.integer = cell.present ? 1 : 0;
    return value;
  }
  if (!cell.present) return jet_value::null(column.type);
  jet_view bytes(cell.bytes, pager.path());
  jet_value value;
  value.type = column.type;
  value.is_null = false;
  switch (column.type) {
    case jet_type::byte: value.integer = bytes.u8(0); break;
    case jet_type::integer: value.integer = int16_t(bytes.u16(0)); break;
    case jet_type::long_integer: value.integer = int32_t(bytes.u32(0)); break;
    case jet_type::currency: value.integer = int64_t(bytes.u64(0)); break;
    case jet_type::single: value.real = bytes.f32(0); break;
    case jet_type::double_:
    case jet_type::date_time: value.real = bytes.f64(0); break;
    case jet_type::text: value.text = jet_decode_text(cell.bytes.data(), cell.bytes.size()); break;
    case jet_type::memo: {
      std::vector<uint8_t> stored = jet_read_long_value(pager, bytes);
      value.text = jet_decode_text(stored.data(), stored.size());
      break;
    }
    case jet_type::long_binary: value.bytes = jet_read_long_value(pager, bytes); break;
    default: value.bytes = cell.bytes; break;
  }
  return value;
}

std::vector<jet_value> jet_decode_row(const jet_pager& pager, const jet_table_def& def, const jet_view& row) {
  std::vector<jet_cell> cells = jet_split_row(def, row);
  std::vector<jet_value> values;
  values.reserve(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) values.push_back(jet_cell_value(pager, def.columns[i], cells[i]));
  return values;
}
