#include "jet/format/header.h"

#include <cstring>
#include <utility>

#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/jet4.h"

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
  if (page0.size() < jet4::hdr_mask_offset + jet4::hdr_mask_length ||
      page0[0] != jet4::page_db_header ||
      std::memcmp(page0.data() + jet4::hdr_magic_offset, magic, sizeof magic) != 0)
    throw jet_unrecognized(file);

  jet_header header;
  header.version = page0[jet4::hdr_version_offset];
  if (header.version != jet4::hdr_version_jet4) throw jet_unrecognized(file);
  header.page_size = jet4::page_size;

  std::vector<uint8_t> plain(page0.begin(), page0.begin() + jet4::hdr_mask_offset + jet4::hdr_mask_length);
  jet_rc4_mask(jet4::hdr_mask_key, plain.data() + jet4::hdr_mask_offset, jet4::hdr_mask_length);
  jet_view view(plain, file);
  header.code_page = view.u16(jet4::hdr_code_page_offset);
  header.db_key = view.u32(jet4::hdr_db_key_offset);
  header.sort_order = view.u16(jet4::hdr_sort_order_offset);
  header.sort_version = view.u16(jet4::hdr_sort_order_offset + 2);
  header.create_date = view.f64(jet4::hdr_create_date_offset);

  if (header.db_key != 0) throw jet_unrecognized(file);
  return header;
}
