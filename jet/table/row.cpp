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

  // Column count, fixed area, variable data, its offsets (last first), the
  // jump table of one-byte offsets, their count, and the null mask.
  const jet_format& format = *def.format;
  const uint32_t count_size = format.row.column_count_size;
  const bool wide = format.row.offset_size == 2;
  const size_t var_start = count_size + fixed_size;
  const size_t mask_size = (row_columns + 7) / 8;
  size_t table_size = 0;
  uint32_t jumps = 0;
  if (def.var_column_count > 0) {
    table_size = size_t(var_slots + 1) * format.row.offset_size + (wide ? 2 : 1);
    if (!wide) {
      // A jump byte for every multiple of 256 the row passes; the bytes
      // belong to the row, so each may make it pass one more.
      const size_t without_jumps = var_start + var_bytes + table_size + mask_size;
      while ((without_jumps + jumps - 1) / 256 > jumps) ++jumps;
      table_size += jumps;
    }
  }
  row.assign(var_start + var_bytes + table_size + mask_size, 0);
  uint8_t* out = row.data();
  if (count_size == 1)
    out[0] = uint8_t(row_columns);
  else
    jet_put_u16(out, uint16_t(row_columns));
  uint8_t* mask = out + row.size() - mask_size;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    const jet_cell& cell = cells[i];
    if (!cell.present) continue;
    mask[column.number / 8] |= uint8_t(1u << (column.number % 8));
    if (column.type != jet_type::boolean && column.is_fixed() && !cell.bytes.empty())
      std::memcpy(out + count_size + column.fixed_offset, cell.bytes.data(), cell.bytes.size());
  }
  if (def.var_column_count > 0) {
    uint8_t* count_at = mask - (wide ? 2 : 1);
    uint8_t* table_end = count_at - jumps;
    // The entry of slot s is the (s+1)-th before the table's end.
    auto put_offset = [&](uint32_t slot, size_t offset) {
      if (wide)
        jet_put_u16(table_end - 2 * (slot + 1), uint16_t(offset));
      else
        table_end[-long(slot) - 1] = uint8_t(offset);
    };
    // Jump k holds the first slot whose offset reaches 256 * (k + 1); a
    // jump no offset reaches holds 0xff, as Access writes it.
    for (uint32_t k = 0; k < jumps; ++k) count_at[-long(k) - 1] = 0xff;
    uint32_t jumps_set = 0;
    size_t at = var_start;
    for (uint32_t slot = 0; slot <= var_slots; ++slot) {
      while (jumps_set < jumps && at >= 256 * size_t(jumps_set + 1)) count_at[-long(jumps_set++) - 1] = uint8_t(slot);
      put_offset(slot, at);
      if (slot == var_slots) break;
      if (const jet_cell* cell = by_slot[slot]; cell && !cell->bytes.empty()) {
        std::memcpy(out + at, cell->bytes.data(), cell->bytes.size());
        at += cell->bytes.size();
      }
    }
    if (wide)
      jet_put_u16(count_at, uint16_t(var_slots));
    else
      *count_at = uint8_t(var_slots);
  }
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
