#include "jet/table/row.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/long_value.h"

namespace {

uint32_t stored_size(const jet_column& column) {
  uint32_t size = jet_type::fixed_size(column.type);
  return size ? size : column.length;
}

// The variable offsets of the row being split, kept from row to row.
std::vector<uint32_t>& var_offsets_scratch() {
  thread_local std::vector<uint32_t> offsets;
  return offsets;
}

}  // namespace

void jet_split_row(const jet_table_def& def, const jet_view& row, std::vector<jet_cell>& cells,
                   uint16_t* columns_out) {
  const std::string& file = row.file();
  const jet_format& format = *def.format;
  const uint32_t count_size = format.row.column_count_size;
  const bool wide = format.row.offset_size == 2;
  uint32_t row_columns = count_size == 1 ? row.u8(0) : row.u16(0);
  if (columns_out) *columns_out = uint16_t(row_columns);
  uint32_t mask_size = (row_columns + 7) / 8;
  if (mask_size + count_size > row.size()) throw jet_corrupt(file, "row shorter than its null mask");
  size_t mask_at = row.size() - mask_size;
  auto present = [&](uint16_t number) {
    return number < row_columns && (row.u8(mask_at + number / 8) >> (number % 8) & 1);
  };

  // Variable offsets: their count just before the mask; before it the
  // offsets, last slot first, the end-of-data offset after the last slot.
  // One-byte offsets (Jet 3) count from the last multiple of 256 below
  // them; a jump table between the offsets and the count says, for each
  // multiple of 256, the first offset at or past it.
  uint32_t var_count = 0;
  std::vector<uint32_t>& offsets = var_offsets_scratch();
  offsets.clear();
  if (def.var_column_count > 0) {
    if (mask_at < 1 + count_size) throw jet_corrupt(file, "row too short for its variable table");
    size_t count_at = mask_at - (wide ? 2 : 1);
    var_count = wide ? row.u16(count_at) : row.u8(count_at);
    size_t table_end = count_at;
    uint32_t jumps = 0;
    if (!wide) {
      // One jump byte per multiple of 256 the row passes; when the offsets
      // themselves start below the last such multiple, its byte is there
      // but marks nothing.
      const uint32_t stored_jumps = uint32_t((row.size() - 1) / 256);
      if (table_end < stored_jumps) throw jet_corrupt(file, "row too short for its jump table");
      table_end -= stored_jumps;
      jumps = stored_jumps;
      if (jumps > 0 && (table_end < size_t(var_count) + 1 || (table_end - var_count - 1) / 256 < jumps)) --jumps;
    }
    size_t table_bytes = size_t(var_count + 1) * format.row.offset_size;
    if (table_bytes > table_end || table_end - table_bytes < count_size)
      throw jet_corrupt(file, "variable table larger than its row");
    uint32_t jumps_passed = 0;
    uint32_t previous = 0;
    for (uint32_t i = 0; i <= var_count; ++i) {
      uint32_t offset;
      if (wide) {
        offset = row.u16(table_end - 2 * (i + 1));
      } else {
        while (jumps_passed < jumps && row.u8(count_at - 1 - jumps_passed) == i) ++jumps_passed;
        offset = row.u8(table_end - (i + 1)) + 256 * jumps_passed;
      }
      if (offset > table_end - table_bytes || offset < previous)
        throw jet_corrupt(file, "variable column offset outside its row");
      offsets.push_back(offset);
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
      start = count_size + size_t(column.fixed_offset);
      length = stored_size(column);
    } else if (column.var_index < var_count) {
      start = offsets[column.var_index];
      length = offsets[column.var_index + 1] - start;
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

jet_row_layout jet_layout_rows(const jet_table_def& def, uint16_t columns_wanted) {
  jet_row_layout layout;
  const jet_format& format = *def.format;
  layout.row_columns = columns_wanted ? columns_wanted : def.max_columns;
  layout.count_size = format.row.column_count_size;
  layout.mask_size = (layout.row_columns + 7) / 8;
  layout.wide = format.row.offset_size == 2;
  layout.var_table = def.var_column_count > 0;
  for (const jet_column& column : def.columns) {
    if (column.number >= layout.row_columns) layout.all_columns = false;
    if (column.type == jet_type::boolean) continue;
    if (column.is_fixed()) {
      layout.fixed_size = std::max(layout.fixed_size, uint32_t(column.fixed_offset) + stored_size(column));
    } else if (column.number < layout.row_columns) {
      // Access gives a row a slot for each variable column it has, null or not.
      layout.var_slots = std::max(layout.var_slots, uint32_t(column.var_index) + 1);
    }
  }
  if (!layout.var_table) layout.var_slots = 0;
  layout.slot_column.assign(layout.var_slots, -1);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    if (column.type == jet_type::boolean || column.is_fixed() || column.var_index >= layout.var_slots) continue;
    // Columns sharing a slot (a damaged definition) leave it to whichever has a value.
    if (layout.slot_column[column.var_index] >= 0) layout.shared_slots = true;
    layout.slot_column[column.var_index] = int32_t(i);
  }
  return layout;
}

void jet_frame_row(const jet_row_layout& layout, const std::vector<jet_cell>& cells, std::vector<uint8_t>& row) {
  // The cell of each variable slot: a column's, when it has a value.
  auto slot_cell = [&](uint32_t slot) -> const jet_cell* {
    const int32_t column = layout.slot_column[slot];
    return column >= 0 && cells[size_t(column)].present ? &cells[size_t(column)] : nullptr;
  };
  size_t var_bytes = 0;
  for (uint32_t slot = 0; slot < layout.var_slots; ++slot)
    if (const jet_cell* cell = slot_cell(slot)) var_bytes += cell->bytes.size();

  // Column count, fixed area, variable data, its offsets (last first), the
  // jump table of one-byte offsets, their count, and the null mask.
  const uint32_t count_size = layout.count_size;
  const bool wide = layout.wide;
  const size_t var_start = count_size + layout.fixed_size;
  const size_t mask_size = layout.mask_size;
  size_t table_size = 0;
  uint32_t jumps = 0;
  if (layout.var_table) {
    table_size = size_t(layout.var_slots + 1) * (wide ? 2 : 1) + (wide ? 2 : 1);
    if (!wide) {
      // A jump byte for every multiple of 256 the row passes; the bytes
      // belong to the row, so each may make it pass one more.
      const size_t without_jumps = var_start + var_bytes + table_size + mask_size;
      while ((without_jumps + jumps - 1) / 256 > jumps) ++jumps;
      table_size += jumps;
    }
  }
  // Resized, not assigned: only the fixed area and the mask need zeros,
  // everything else is written below.
  row.resize(var_start + var_bytes + table_size + mask_size);
  uint8_t* out = row.data();
  if (count_size == 1)
    out[0] = uint8_t(layout.row_columns);
  else
    jet_put_u16(out, uint16_t(layout.row_columns));
  std::memset(out + count_size, 0, layout.fixed_size);
  uint8_t* mask = out + row.size() - mask_size;
  std::memset(mask, 0, mask_size);
  if (!layout.var_table) return;
  uint8_t* count_at = mask - (wide ? 2 : 1);
  uint8_t* table_end = count_at - jumps;
  // Jump k holds the first slot whose offset reaches 256 * (k + 1); a
  // jump no offset reaches holds 0xff, as Access writes it.
  for (uint32_t k = 0; k < jumps; ++k) count_at[-long(k) - 1] = 0xff;
  uint32_t jumps_set = 0;
  size_t at = var_start;
  // The entry of slot s is the (s+1)-th before the table's end.
  for (uint32_t slot = 0;; ++slot) {
    if (wide) {
      jet_put_u16(table_end - 2 * (slot + 1), uint16_t(at));
    } else {
      while (jumps_set < jumps && at >= 256 * size_t(jumps_set + 1)) count_at[-long(jumps_set++) - 1] = uint8_t(slot);
      table_end[-long(slot) - 1] = uint8_t(at);
    }
    if (slot == layout.var_slots) break;
    if (const jet_cell* cell = slot_cell(slot); cell && !cell->bytes.empty()) {
      std::memcpy(out + at, cell->bytes.data(), cell->bytes.size());
      at += cell->bytes.size();
    }
  }
  if (wide)
    jet_put_u16(count_at, uint16_t(layout.var_slots));
  else
    *count_at = uint8_t(layout.var_slots);
}

void jet_join_row(const jet_table_def& def, const jet_row_layout& layout, const std::vector<jet_cell>& cells,
                  std::vector<uint8_t>& row) {
  if (cells.size() != def.columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "Row does not match its table.");
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (!cell.present) continue;
    if (!layout.all_columns && column.number >= layout.row_columns)
      throw jet_error(jet_dao_error::invalid_argument, "Value for a column the row does not have.");
    if (column.type != jet_type::boolean && column.is_fixed() && cell.bytes.size() != stored_size(column))
      throw jet_error(jet_dao_error::invalid_argument, "Fixed value of the wrong size.");
  }
  if (layout.shared_slots) {
    // The last column of a shared slot that has a value takes it, as if the
    // slots were worked out row by row.
    jet_row_layout own = layout;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      const jet_column& column = def.columns[i];
      if (cells[i].present && column.type != jet_type::boolean && !column.is_fixed() &&
          column.var_index < own.var_slots)
        own.slot_column[column.var_index] = int32_t(i);
    }
    own.shared_slots = false;
    return jet_join_row(def, own, cells, row);
  }
  jet_frame_row(layout, cells, row);
  uint8_t* out = row.data();
  uint8_t* mask = out + row.size() - layout.mask_size;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (!cell.present) continue;
    mask[column.number / 8] |= uint8_t(1u << (column.number % 8));
    if (column.type != jet_type::boolean && column.is_fixed() && !cell.bytes.empty())
      std::memcpy(out + layout.count_size + column.fixed_offset, cell.bytes.data(), cell.bytes.size());
  }
}

void jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells, std::vector<uint8_t>& row,
                  uint16_t columns_wanted) {
  jet_join_row(def, jet_layout_rows(def, columns_wanted), cells, row);
}

std::vector<uint8_t> jet_join_row(const jet_table_def& def, const std::vector<jet_cell>& cells,
                                  uint16_t columns_wanted) {
  std::vector<uint8_t> row;
  jet_join_row(def, cells, row, columns_wanted);
  return row;
}

jet_value jet_cell_value(const jet_pager& pager, const jet_column& column, const jet_cell& cell) {
  const jet_format& format = pager.format();
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
    case jet_type::text: value.text = format.decode_text(cell.bytes.data(), cell.bytes.size()); break;
    case jet_type::memo: {
      std::vector<uint8_t> stored = jet_read_long_value(pager, bytes);
      value.text = format.decode_text(stored.data(), stored.size());
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
