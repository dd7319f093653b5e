#include "jet/jet_row.h"

#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_lval.h"
#include "jet/jet_page.h"
#include "jet/jet_text.h"
#include "jet/jet_type.h"

namespace {

// A column's bytes, wherever the row keeps them: columns without the fixed
// flag may be of any type, not only text and binary.
jet_value decode_cell(const jet_pager& pager, const jet_column& column, const jet_view& bytes) {
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
    case jet_type::text: value.text = jet_decode_text(bytes.data(), bytes.size()); break;
    case jet_type::memo: {
      std::vector<uint8_t> stored = jet_read_long_value(pager, bytes);
      value.text = jet_decode_text(stored.data(), stored.size());
      break;
    }
    case jet_type::long_binary: value.bytes = jet_read_long_value(pager, bytes); break;
    default: value.bytes = bytes.bytes(0, bytes.size()); break;
  }
  return value;
}

}  // namespace

std::vector<jet_value> jet_decode_row(const jet_pager& pager, const jet_table_def& def, const jet_view& row) {
  const std::string& file = row.file();
  uint32_t row_columns = row.u16(0);
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

  std::vector<jet_value> values;
  values.reserve(def.columns.size());
  for (const jet_column& column : def.columns) {
    if (column.type == jet_type::boolean) {
      // Booleans live in the mask: set is true.
      jet_value value = jet_value::null(column.type);
      value.is_null = false;
      value.integer = present(column.number) ? 1 : 0;
      values.push_back(value);
      continue;
    }
    if (!present(column.number)) {
      values.push_back(jet_value::null(column.type));
      continue;
    }
    if (column.is_fixed()) {
      uint32_t size = jet_type::fixed_size(column.type);
      if (size == 0) size = column.length;
      size_t start = jet4::row_col_count_size + size_t(column.fixed_offset);
      values.push_back(decode_cell(pager, column, row.sub(start, size, "fixed column outside its row")));
    } else {
      if (column.var_index >= var_count) {
        values.push_back(jet_value::null(column.type));
        continue;
      }
      uint32_t start = var_offsets[column.var_index];
      uint32_t end = var_offsets[column.var_index + 1];
      values.push_back(decode_cell(pager, column, row.sub(start, end - start)));
    }
  }
  return values;
}
