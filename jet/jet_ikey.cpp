#include "jet/jet_ikey.h"

#include <cstring>

#include "jet/jet_type.h"

namespace {

constexpr uint8_t key_flag_value = 0x7f;
constexpr uint8_t key_flag_null = 0x00;
constexpr uint8_t key_text_end = 0x01;     // then the extra bytes of accented characters
constexpr uint8_t key_extras_end = 0x00;

void append_big_endian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

// Two's complement numbers sort as unsigned once the sign bit is flipped.
void append_signed(std::vector<uint8_t>& out, int64_t value, int bytes) {
  uint64_t bits = uint64_t(value) ^ (uint64_t(1) << (8 * bytes - 1));
  append_big_endian(out, bits, bytes);
}

// IEEE numbers sort as unsigned when positives get the sign bit set and
// negatives are inverted whole.
void append_ieee(std::vector<uint8_t>& out, uint64_t bits, int bytes) {
  uint64_t sign = uint64_t(1) << (8 * bytes - 1);
  uint64_t mask = bytes == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * bytes)) - 1;
  bits = (bits & sign) ? (~bits & mask) : (bits | sign);
  append_big_endian(out, bits, bytes);
}

}  // namespace

bool jet_append_key(std::vector<uint8_t>& key, const jet_column& column, const jet_value& value, bool ascending) {
  size_t start = key.size();
  if (value.is_null) {
    key.push_back(key_flag_null);
  } else {
    key.push_back(key_flag_value);
    switch (column.type) {
      case jet_type::byte: key.push_back(uint8_t(value.integer)); break;
      case jet_type::integer: append_signed(key, value.integer, 2); break;
      case jet_type::long_integer: append_signed(key, value.integer, 4); break;
      case jet_type::currency: append_signed(key, value.integer, 8); break;
      case jet_type::single: {
        float single = float(value.real);
        uint32_t bits;
        std::memcpy(&bits, &single, 4);
        append_ieee(key, bits, 4);
        break;
      }
      case jet_type::double_:
      case jet_type::date_time: {
        uint64_t bits;
        std::memcpy(&bits, &value.real, 8);
        append_ieee(key, bits, 8);
        break;
      }
      case jet_type::text:
      case jet_type::memo:
        for (char16_t unit : value.text) {
          if (unit > 0xff || jet_general_codes[unit].length == 0) return false;
          const jet_simple_code& code = jet_general_codes[unit];
          key.insert(key.end(), code.bytes, code.bytes + code.length);
        }
        key.push_back(key_text_end);
        key.push_back(key_extras_end);
        break;
      default:
        return false;
    }
  }
  if (!ascending)
    for (size_t i = start; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
  return true;
}
