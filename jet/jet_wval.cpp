#include "jet/jet_wval.h"

#include <cstring>

#include "jet/jet_byte.h"
#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_text.h"
#include "jet/jet_type.h"

namespace {

template <typename T>
std::vector<uint8_t> little_endian(T value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);  // the engine runs on little-endian hosts
  return bytes;
}

}  // namespace

jet_cell jet_value_cell(const jet_column& column, const jet_value& value) {
  jet_cell cell;
  if (column.type == jet_type::boolean) {
    cell.present = !value.is_null && value.integer != 0;
    return cell;
  }
  if (value.is_null) return cell;
  cell.present = true;
  switch (column.type) {
    case jet_type::byte: cell.bytes = little_endian(uint8_t(value.integer)); break;
    case jet_type::integer: cell.bytes = little_endian(int16_t(value.integer)); break;
    case jet_type::long_integer: cell.bytes = little_endian(int32_t(value.integer)); break;
    case jet_type::currency: cell.bytes = little_endian(int64_t(value.integer)); break;
    case jet_type::single: cell.bytes = little_endian(float(value.real)); break;
    case jet_type::double_:
    case jet_type::date_time: cell.bytes = little_endian(value.real); break;
    case jet_type::text:
      if (value.text.size() * 2 > column.length)
        throw jet_error(3163, "The field is too small to accept the amount of data you attempted to add.");
      cell.bytes = jet_encode_text(value.text, column.is_compressed());
      break;
    case jet_type::binary:
      if (value.bytes.size() > column.length)
        throw jet_error(3163, "The field is too small to accept the amount of data you attempted to add.");
      cell.bytes = value.bytes;
      break;
    case jet_type::guid:
    case jet_type::numeric:
      if (value.bytes.size() != jet_type::fixed_size(column.type))
        throw jet_error(jet_dao_error::invalid_argument, "Value of the wrong size.");
      cell.bytes = value.bytes;
      break;
    default:
      throw jet_error(jet_dao_error::invalid_argument, "Long values are written through the table writer.");
  }
  if (column.is_fixed() && cell.bytes.size() < column.length) cell.bytes.resize(column.length, 0);
  return cell;
}

std::vector<uint8_t> jet_long_value_bytes(const jet_column& column, const jet_value& value) {
  if (column.type == jet_type::memo) return jet_encode_text(value.text, column.is_compressed());
  return value.bytes;
}

std::vector<uint8_t> jet_lv_reference(jet_lv_place place, uint32_t length, uint32_t pointer,
                                      const std::vector<uint8_t>& inline_bytes) {
  std::vector<uint8_t> ref(jet4::lv_ref_size, 0);
  uint32_t word = length & jet4::lv_length_mask;
  if (place == jet_lv_place::inline_data) word |= jet4::lv_flag_inline;
  if (place == jet_lv_place::single_row) word |= jet4::lv_flag_single_page;
  jet_put_u32(ref.data(), word);
  if (place != jet_lv_place::inline_data) jet_put_u32(ref.data() + 4, pointer);
  ref.insert(ref.end(), inline_bytes.begin(), inline_bytes.end());
  return ref;
}
