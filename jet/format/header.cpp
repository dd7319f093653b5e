#include "jet/format/header.h"

#include <cstring>
#include <utility>

#include "jet/format/byte_view.h"
#include "jet/format/error.h"

void jet_rc4_mask(uint32_t key, uint8_t* bytes, size_t length) {
  uint8_t key_bytes[4] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
  uint8_t state[256];
  for (int i = 0; i < 256; ++i) state[i] = uint8_t(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = uint8_t(j + state[i] + key_bytes[i % 4]);
    std::swap(state[i], state[j]);
  }
  uint8_t a = 0, b = 0;
  for (size_t n = 0; n < length; ++n) {
    a = uint8_t(a + 1);
    b = uint8_t(b + state[a]);
    std::swap(state[a], state[b]);
    bytes[n] ^= state[uint8_t(state[a] + state[b])];
  }
}

jet_header jet_read_header(const std::vector<uint8_t>& page0, const std::string& file) {
  static const char magic[] = "Standard Jet DB";
  if (page0.size() <= jet_const::hdr_version_offset || page0[0] != jet_const::page_db_header ||
      page0.size() < jet_const::hdr_magic_offset + sizeof magic ||
      std::memcmp(page0.data() + jet_const::hdr_magic_offset, magic, sizeof magic) != 0)
    throw jet_unrecognized(file);

  jet_header header;
  header.version = page0[jet_const::hdr_version_offset];
  // Both versions mask at least Jet 3's block; the code page inside it picks
  // the format of a Jet 3 file.
  const jet_format* format = jet_format_for(header.version, 1252);
  if (!format || page0.size() < jet_const::hdr_mask_offset + format->header.mask_length) throw jet_unrecognized(file);
  std::vector<uint8_t> plain(page0.begin(), page0.begin() + jet_const::hdr_mask_offset + format->header.mask_length);
  jet_rc4_mask(jet_const::hdr_mask_key, plain.data() + jet_const::hdr_mask_offset, format->header.mask_length);
  jet_view view(plain, file);
  header.code_page = view.u16(jet_const::hdr_code_page_offset);
  format = jet_format_for(header.version, header.code_page);
  if (!format) throw jet_unrecognized(file);
  header.format = format;
  header.page_size = format->page_size;
  header.db_key = view.u32(jet_const::hdr_db_key_offset);
  header.sort_order = view.u16(format->header.sort_order);
  header.sort_version = view.u16(format->header.sort_version);
  if (format->header.create_date != jet_format::absent) header.create_date = view.f64(format->header.create_date);

  if (header.db_key != 0) throw jet_unrecognized(file);
  return header;
}
