#include "jet/table/long_value.h"

#include "jet/file/data_page.h"
#include "jet/file/pager.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

std::vector<uint8_t> jet_read_long_value(const jet_pager& pager, const jet_view& reference) {
  reference.require(0, jet_const::lv_ref_size, "long value reference cut short");
  uint32_t word = reference.u32(0);
  uint32_t length = word & jet_const::lv_length_mask;
  uint32_t pointer = reference.u32(4);
  if (length > pager.file_size()) throw jet_corrupt(pager.path(), "long value longer than the file");

  if (word & jet_const::lv_flag_inline) return reference.bytes(jet_const::lv_ref_size, length);

  if (word & jet_const::lv_flag_single_page) {
    jet_fetched_row row = jet_fetch_row(pager, pointer, jet_const::lval_owner_tag);
    if (row.slot.length < length) throw jet_corrupt(pager.path(), "long value row shorter than its length");
    return row.bytes().bytes(0, length);
  }

  std::vector<uint8_t> value;
  value.reserve(length);
  uint32_t hops = 0;
  while (value.size() < length) {
    if (pointer == 0 || ++hops > pager.page_count())
      throw jet_corrupt(pager.path(), "long value chain ends early or loops");
    jet_fetched_row row = jet_fetch_row(pager, pointer, jet_const::lval_owner_tag);
    jet_view part = row.bytes();
    pointer = part.u32(0);
    size_t take = std::min<size_t>(part.size() - jet_const::lv_chain_link_size, length - value.size());
    value.insert(value.end(), part.data() + jet_const::lv_chain_link_size,
                 part.data() + jet_const::lv_chain_link_size + take);
  }
  return value;
}
