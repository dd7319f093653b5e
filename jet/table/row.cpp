#include "jet/table/row.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/jet4.h"
#include "jet/format/text.h"
#include "jet/table/long_value.h"

namespace {

uint32_t stored_size(const jet_column& column) {
  uint32_t size = jet_type::fixed_size(column.type);
  return size ? size : column.length;
}

}  // namespace

void jet_split_row(const jet_table_def& def, const jet_view& row, std::vector<jet_cell>& cells,
                   uint16_t* columns_out) {
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
  // reverse order, and the end-of-data offset after the last entry. All are
  // checked first; cells read the two around them afterwards.
  uint32_t var_count = 0;
  auto var_offset = [&](uint32_t i) { return uint32_t(row.u16(mask_at - 2 - jet4::row_var_entry_size * (i + 1))); };
  if (def.var_column_count > 0) {
    if (mask_at < 2) throw jet_corrupt(file, "row too short for its variable table");
    var_count = row.u16(mask_at - 2);
    size_t table_bytes = size_t(var_count + 1) * jet4::row_var_entry_size;
    if (table_bytes + 2 > mask_at) throw jet_corrupt(file, "variable table larger than its row");
    uint32_t previous = 0;
    for (uint32_t i = 0; i <= var_count; ++i) {
      uint32_t offset = var_offset(i);
      if (offset > mask_at - 2 - table_bytes || offset < previous)
        throw jet_corrupt(file, "variable column offset outside its row");
      previous = offset;
    }
  }

  cells.resize(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    jet_cell& cell = cells[i];
    cell.bytes.clear();
    cell.present = present(column.number);
    if (!cell.present || column.type == jet_type::boolean) continue;
    size_t start = 0;
    size_t length = 0;
    if (column.is_fixed()) {
      start = jet4::row_col_count_size + size_t(column.fixed_offset);
      length = stored_size(column);
    } else if (column.var_index < var_count) {
      start = var_offset(column.var_index);
      length = var_offset(column.var_index + 1) - start;
    } else {
      cell.present = false;  // the row predates the column
      continue;
    }
    row.require(start, length, "value outside its row");
    cell.bytes.assign(row.data() + start, row.data() + start + length);
  }
}

std::vector<jet_cell> jet_split_row(const jet_table_def& def, const jet_view& row, uint16_t* columns_out) {
  std::vector<jet_cell> cells;
  jet_split_row(def, row, cells, columns_out);
  return cells;
}

void jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells, std::vector<uint8_t>& row,
                  uint16_t columns_wanted) {
  if (cells.size() != def.columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "Row does not match its table.");
  uint32_t row_columns = columns_wanted ? columns_wanted : def.max_columns;
  uint32_t fixed_size = 0;
  uint32_t var_slots = 0;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (cell.present && column.number >= row_columns)
      throw jet_error(jet_dao_error::invalid_argument, "Value for a column the row does not have.");
    if (column.type == jet_type::boolean) continue;
    if (column.is_fixed()) {
      fixed_size = std::max(fixed_size, uint32_t(column.fixed_offset) + stored_size(column));
      if (cell.present && cell.bytes.size() != stored_size(column))
        throw jet_error(jet_dao_error::invalid_argument, "Fixed value of the wrong size.");
    } else if (column.number < row_columns) {
      // Access gives a row a slot for each variable column it has, null or not.
      var_slots = std::max(var_slots, uint32_t(column.var_index) + 1);
    }
  }
  if (def.var_column_count == 0) var_slots = 0;

  // The cell of each variable slot; a table's few slots need no allocation.
  const jet_cell* few_slots[64];
  std::vector<const jet_cell*> many_slots;
  const jet_cell** by_slot = few_slots;
  if (var_slots > std::size(few_slots)) {
    many_slots.resize(var_slots);
    by_slot = many_slots.data();
  }
  std::fill(by_slot, by_slot + var_slots, nullptr);
  size_t var_bytes = 0;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    if (!cells[i].present || column.type == jet_type::boolean || column.is_fixed()) continue;
    if (column.var_index < var_slots) {
      by_slot[column.var_index] = &cells[i];
      var_bytes += cells[i].bytes.size();
    }
  }

  // Column count, fixed area, variable data, its offsets (last first), their
  // count, and the null mask.
  const size_t var_start = jet4::row_col_count_size + fixed_size;
  const size_t table_size = def.var_column_count > 0 ? size_t(var_slots + 1) * 2 + 2 : 0;
  const size_t mask_size = (row_columns + 7) / 8;
  row.assign(var_start + var_bytes + table_size + mask_size, 0);
  uint8_t* out = row.data();
  jet_put_u16(out, uint16_t(row_columns));
  uint8_t* mask = out + row.size() - mask_size;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (!cell.present) continue;
    mask[column.number / 8] |= uint8_t(1u << (column.number % 8));
    if (column.type != jet_type::boolean && column.is_fixed() && !cell.bytes.empty())
      std::memcpy(out + jet4::row_col_count_size + column.fixed_offset, cell.bytes.data(), cell.bytes.size());
  }
  if (def.var_column_count > 0) {
    size_t at = var_start;
    // The entry of slot s is the (s+1)-th from the count, going backwards.
    uint8_t* count_at = out + var_start + var_bytes + table_size - 2;
    for (uint32_t slot = 0; slot < var_slots; ++slot) {
      jet_put_u16(count_at - 2 * (slot + 1), uint16_t(at));
      if (const jet_cell* cell = by_slot[slot]; cell && !cell->bytes.empty()) {
        std::memcpy(out + at, cell->bytes.data(), cell->bytes.size());
        at += cell->bytes.size();
      }
    }
    jet_put_u16(count_at - 2 * (var_slots + 1), uint16_t(at));
    jet_put_u16(count_at, uint16_t(var_slots));
  }
}

std::vector<uint8_t> jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells,
                                  uint16_t columns_wanted) {
  std::vector<uint8_t> row;
  jet_join_row(def, cells, row, columns_wanted);
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
