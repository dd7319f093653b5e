#include "jet/table/value_cell.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

template <typename T>
void little_endian(T value, std::vector<uint8_t>& out) {
  // The engine runs on little-endian hosts. Assigned, not resized: no zero
  // fill before the copy, value after value.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  out.assign(bytes, bytes + sizeof value);
}

[[noreturn]] void too_long() {
  throw jet_error(3163, "The field is too small to accept the amount of data you attempted to add.");
}

}  // namespace

void jet_value_cell(const jet_format& format, const jet_column& column, const jet_value& value, jet_cell& cell) {
  cell.bytes.clear();
  if (column.type == jet_type::boolean) {
    cell.present = !value.is_null && value.integer != 0;
    return;
  }
  cell.present = !value.is_null;
  if (value.is_null) return;
  switch (column.type) {
    case jet_type::byte: little_endian(uint8_t(value.integer), cell.bytes); break;
    case jet_type::integer: little_endian(int16_t(value.integer), cell.bytes); break;
    case jet_type::long_integer: little_endian(int32_t(value.integer), cell.bytes); break;
    case jet_type::currency: little_endian(int64_t(value.integer), cell.bytes); break;
    case jet_type::single: little_endian(float(value.real), cell.bytes); break;
    case jet_type::double_:
    case jet_type::date_time: little_endian(value.real, cell.bytes); break;
    case jet_type::text:
      if (format.text_bytes(uint32_t(std::min<size_t>(value.text.size(), UINT32_MAX / 2))) > column.length) too_long();
      format.encode_text(value.text, column.is_compressed(), cell.bytes);
      break;
    case jet_type::binary:
      if (value.bytes.size() > column.length) too_long();
      cell.bytes.assign(value.bytes.begin(), value.bytes.end());
      break;
    case jet_type::guid:
    case jet_type::numeric:
      if (value.bytes.size() != jet_type::fixed_size(column.type))
        throw jet_error(jet_dao_error::invalid_argument, "Value of the wrong size.");
      cell.bytes.assign(value.bytes.begin(), value.bytes.end());
      break;
    default:
      cell.present = false;
      throw jet_error(jet_dao_error::invalid_argument, "Long values are written through the table writer.");
  }
  if (column.is_fixed() && cell.bytes.size() < column.length) cell.bytes.resize(column.length, 0);
}

jet_cell jet_value_cell(const jet_format& format, const jet_column& column, const jet_value& value) {
  jet_cell cell;
  jet_value_cell(format, column, value, cell);
  return cell;
}

const std::vector<uint8_t>& jet_long_value_bytes(const jet_format& format, const jet_column& column,
                                                 const jet_value& value, std::vector<uint8_t>& scratch) {
  if (column.type != jet_type::memo) return value.bytes;
  format.encode_text(value.text, column.is_compressed(), scratch);
  return scratch;
}

std::vector<uint8_t> jet_long_value_bytes(const jet_format& format, const jet_column& column, const jet_value& value) {
  std::vector<uint8_t> scratch;
  return jet_long_value_bytes(format, column, value, scratch);
}

void jet_lv_reference(jet_lv_place place, uint32_t length, uint32_t pointer, const uint8_t* inline_bytes,
                      size_t inline_length, std::vector<uint8_t>& out) {
  out.assign(jet_const::lv_ref_size, 0);
  uint32_t word = length & jet_const::lv_length_mask;
  if (place == jet_lv_place::inline_data) word |= jet_const::lv_flag_inline;
  if (place == jet_lv_place::single_row) word |= jet_const::lv_flag_single_page;
  jet_put_u32(out.data(), word);
  if (place != jet_lv_place::inline_data) jet_put_u32(out.data() + 4, pointer);
  if (inline_length != 0) out.insert(out.end(), inline_bytes, inline_bytes + inline_length);
}

std::vector<uint8_t> jet_lv_reference(jet_lv_place place, uint32_t length, uint32_t pointer,
                                      const std::vector<uint8_t>& inline_bytes) {
  std::vector<uint8_t> out;
  jet_lv_reference(place, length, pointer, inline_bytes.data(), inline_bytes.size(), out);
  return out;
}
