#include "jet/index/index_key.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "jet/format/column_type.h"

namespace {

constexpr uint8_t key_flag_value = 0x7f;
constexpr uint8_t key_flag_null = 0x00;
constexpr uint16_t general_sort_order = 0x409;

// Text: inline codes, 0x01, then the sections below when any is needed,
// then 0x00.
constexpr uint8_t text_end = 0x01;
constexpr uint8_t text_value_end = 0x00;
// Extra bytes hold one byte (or pair) per character up to the last accented
// one; plain characters in between take this filler, trailing fillers go.
constexpr uint8_t extra_filler = 0x02;
// Unprintable characters: a big-endian position word, a marker, their bytes.
constexpr uint16_t unprintable_position_base = 7;
constexpr uint16_t unprintable_position_step = 4;
constexpr uint16_t unprintable_position_flag = 0x8000;
constexpr uint8_t unprintable_marker = 0x06;
// Flags of the flagged characters go three to a byte after this prefix; a
// fixed tail follows them, and one more byte when unprintables come next.
constexpr uint8_t flag_byte_prefix = 0x80;
constexpr uint8_t flag_tail[] = {0xff, 0x02, 0x80, 0xff, 0x80};
constexpr uint8_t flag_tail_before_unprintables = 0xff;

// Access 97 text: the inline codes, then the accent codes a nibble each
// between two 0 nibbles, the last byte filled with 0. Letters without accent
// after the last accented one are left out.
constexpr uint8_t accent_bounds = 0x0;
constexpr uint8_t accent_none = 0x2;
constexpr uint8_t code_page_substitute = '?';

struct unit_code {
  jet_text_kind kind;
  const uint8_t* inline_bytes;
  size_t inline_length;
  const uint8_t* other_bytes;  // extra, unprintable or modifier bytes
  size_t other_length;
};

unit_code code_of(const jet_text_codes& codes, char16_t unit) {
  uint32_t word = codes.units[unit];
  const uint8_t* bytes = codes.pool + (word >> 12);
  size_t inline_length = (word >> 4) & 0xf;
  return {jet_text_kind(word & 0xf), bytes, inline_length, bytes + inline_length, (word >> 8) & 0xf};
}

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

void invert_from(std::vector<uint8_t>& key, size_t start) {
  for (size_t i = start; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
}

// Bytes of no fixed length (a Replication ID) go in eight-byte segments: a
// full segment with more to come is followed by 0x09, the last one padded
// with zeros and followed by its length. A descending key inverts it all but
// the 0x09 markers. The flag byte is already in `key`.
void append_segmented(std::vector<uint8_t>& key, const uint8_t* bytes, size_t length, bool ascending) {
  constexpr size_t segment = 8;
  constexpr uint8_t more_follows = 0x09;
  const size_t start = key.size();
  std::vector<size_t> markers;
  size_t at = 0;
  do {
    const size_t part = std::min(segment, length - at);
    key.insert(key.end(), bytes + at, bytes + at + part);
    key.insert(key.end(), segment - part, 0);
    at += part;
    if (at < length) {
      markers.push_back(key.size());
      key.push_back(more_follows);
    } else {
      key.push_back(uint8_t(part));
    }
  } while (at < length);
  if (!ascending) {
    invert_from(key, start - 1);
    for (size_t marker : markers) key[marker] = more_follows;
  }
}

uint8_t code_page_byte(const jet_code_page_text_codes& codes, char16_t unit) {
  if (unit < 0x100) return codes.latin[unit];
  const char16_t* end = codes.wide_units + codes.wide_count;
  const char16_t* at = std::lower_bound(codes.wide_units, end, unit);
  return at != end && *at == unit ? codes.wide_bytes[at - codes.wide_units] : code_page_substitute;
}

const jet_text_codes* codes_for(const jet_column& column) {
  if (column.sort_order != 0 && column.sort_order != general_sort_order) return nullptr;
  if (column.sort_version == 0) return &jet_general_legacy_codes;
  if (column.sort_version == 1) return &jet_general_codes;
  return nullptr;
}

}  // namespace

void jet_append_text_key(std::vector<uint8_t>& key, const jet_text_codes& codes, const std::u16string& text) {
  std::vector<uint8_t> extra;
  size_t extra_characters = 0;  // characters the extra bytes account for
  size_t extra_lead = 0;        // a modifier byte before any extra byte
  bool extra_started = false;
  std::vector<uint8_t> unprintables;
  std::vector<uint8_t> flags;
  size_t position = 0;  // characters with inline bytes so far
  size_t count = std::min(text.size(), jet_text_key_units);
  while (count > 0 && text[count - 1] == u' ') --count;
  for (size_t i = 0; i < count; ++i) {
    unit_code code = code_of(codes, text[i]);
    size_t at = position;
    if (code.inline_length > 0) {
      key.insert(key.end(), code.inline_bytes, code.inline_bytes + code.inline_length);
      ++position;
    }
    bool has_extra = code.kind == jet_text_kind::accented ||
                     ((code.kind == jet_text_kind::flagged_2 || code.kind == jet_text_kind::flagged_3) &&
                      code.other_length > 0);
    if (has_extra || code.kind == jet_text_kind::extra_modifier) {
      extra_started = true;
      for (; extra_characters < at; ++extra_characters) extra.push_back(extra_filler);
      if (has_extra) {
        extra.insert(extra.end(), code.other_bytes, code.other_bytes + code.other_length);
        ++extra_characters;
      } else if (!extra.empty()) {
        extra.back() = uint8_t(extra.back() + code.other_bytes[0]);
      } else {
        extra.push_back(code.other_bytes[0]);
        extra_lead = 1;
      }
    }
    if (code.kind == jet_text_kind::unprintable) {
      // The position counts the extra bytes as they stand, plus the
      // characters they do not cover yet, less a leading modifier.
      size_t where = extra_started ? extra.size() + (at - extra_characters) - extra_lead : at;
      uint16_t word = uint16_t(unprintable_position_base + unprintable_position_step * where) |
                      unprintable_position_flag;
      unprintables.push_back(uint8_t(word >> 8));
      unprintables.push_back(uint8_t(word));
      unprintables.push_back(unprintable_marker);
      unprintables.insert(unprintables.end(), code.other_bytes, code.other_bytes + code.other_length);
    }
    if (code.kind == jet_text_kind::flagged_2) flags.push_back(2);
    if (code.kind == jet_text_kind::flagged_3) flags.push_back(3);
  }
  key.push_back(text_end);
  while (!extra.empty() && extra.back() <= extra_filler) extra.pop_back();
  key.insert(key.end(), extra.begin(), extra.end());
  if (!flags.empty() || !unprintables.empty()) {
    key.push_back(text_end);
    key.push_back(text_end);
    if (!flags.empty()) {
      while (!flags.empty() && flags.back() == 3) flags.pop_back();
      for (size_t i = 0; i < flags.size(); i += 3) {
        uint8_t byte = flag_byte_prefix;
        for (size_t j = 0; j < 3 && i + j < flags.size(); ++j) byte |= uint8_t(flags[i + j] << (4 - 2 * j));
        key.push_back(byte);
      }
      key.insert(key.end(), std::begin(flag_tail), std::end(flag_tail));
      if (!unprintables.empty()) key.push_back(flag_tail_before_unprintables);
    }
    if (!unprintables.empty()) {
      key.push_back(text_end);
      key.insert(key.end(), unprintables.begin(), unprintables.end());
    }
  }
  key.push_back(text_value_end);
}

void jet_append_code_page_text_key(std::vector<uint8_t>& key, const jet_code_page_text_codes& codes,
                                   const std::u16string& text) {
  uint8_t accents[jet_text_key_units];
  size_t accent_count = 0;
  size_t kept = 0;  // accents up to the last one that is not accent_none
  size_t count = std::min(text.size(), jet_text_key_units);
  while (count > 0 && text[count - 1] == u' ') --count;
  for (size_t i = 0; i < count; ++i) {
    unit_code code = code_of(codes.bytes, code_page_byte(codes, text[i]));
    key.insert(key.end(), code.inline_bytes, code.inline_bytes + code.inline_length);
    if (code.kind != jet_text_kind::accented) continue;
    accents[accent_count++] = code.other_bytes[0];
    if (code.other_bytes[0] != accent_none) kept = accent_count;
  }
  size_t nibbles = kept + 2;
  auto nibble = [&](size_t at) { return at == 0 || at > kept ? accent_bounds : accents[at - 1]; };
  for (size_t at = 0; at < nibbles; at += 2) key.push_back(uint8_t(nibble(at) << 4 | nibble(at + 1)));
}

void jet_append_code_page_key(std::vector<uint8_t>& key, const jet_code_page_text_codes& codes,
                              const jet_value& value, bool ascending) {
  size_t start = key.size();
  if (value.is_null) {
    key.push_back(key_flag_null);
  } else {
    key.push_back(key_flag_value);
    jet_append_code_page_text_key(key, codes, value.text);
  }
  if (!ascending) invert_from(key, start);
}

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
      case jet_type::boolean:
        // Yes sorts before No; a Yes/No value is never null.
        key.push_back(value.integer != 0 ? 0x00 : 0xff);
        break;
      case jet_type::guid: {
        if (value.bytes.size() != 16) return false;
        // Data1, Data2 and Data3 are stored little-endian; the key wants them
        // most significant first, then the last eight bytes as they are.
        const uint8_t* b = value.bytes.data();
        const uint8_t ordered[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6],
                                     b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
        append_segmented(key, ordered, sizeof ordered, ascending);
        return true;
      }
      case jet_type::text:
      case jet_type::memo: {
        if (column.code_page != 0) {
          // A Jet 3 column names its code page: Access 97's "General" order
          // keys the stored bytes of that code page.
          if (column.code_page != 1252 || (column.sort_order != general_sort_order && column.sort_order != 0))
            return false;
          key.resize(start);
          jet_append_code_page_key(key, jet_general_97_codes, value, ascending);
          return true;
        }
        const jet_text_codes* codes = codes_for(column);
        if (!codes) return false;
        jet_append_text_key(key, *codes, value.text);
        // Descending text keeps one 0x00 past its inverted bytes.
        if (!ascending) {
          invert_from(key, start);
          key.push_back(text_value_end);
          return true;
        }
        break;
      }
      default:
        return false;
    }
  }
  if (!ascending) invert_from(key, start);
  return true;
}
