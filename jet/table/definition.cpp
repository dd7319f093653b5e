#include "jet/table/definition.h"

#include <algorithm>
#include <set>

#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/jet4.h"
#include "jet/format/text.h"

bool jet_column::is_fixed() const { return flags & jet4::col_flag_fixed; }
bool jet_column::is_nullable() const { return flags & jet4::col_flag_nullable; }
bool jet_column::is_auto_long() const { return flags & jet4::col_flag_auto_long; }
bool jet_column::is_compressed() const { return ext_flags & jet4::col_ext_flag_compressed; }

const jet_column* jet_table_def::find_column(const std::u16string& name) const {
  for (const jet_column& column : columns)
    if (column.name == name) return &column;
  return nullptr;
}

const jet_column* jet_table_def::column_by_number(uint16_t number) const {
  for (const jet_column& column : columns)
    if (column.number == number) return &column;
  return nullptr;
}

namespace {

// Access allows 255 columns and 32 indexes; a count far above that can only
// come from damage, and refusing it early keeps allocations small.
constexpr uint32_t sane_column_limit = 4096;
constexpr uint32_t sane_index_limit = 1024;

std::u16string read_name(const jet_view& view, size_t& at) {
  uint16_t length = view.u16(at);
  at += 2;
  view.require(at, length, "name outside the table definition");
  std::u16string name = jet_decode_text(view.data() + at, length);
  at += length;
  return name;
}

// The definition as one buffer: the first page whole, then each continuation
// page without its 8-byte header.
std::vector<uint8_t> gather_chain(const jet_pager& pager, uint32_t page, std::vector<uint32_t>& chain) {
  std::vector<uint8_t> buffer;
  std::set<uint32_t> seen;
  uint32_t next = page;
  while (next != 0) {
    if (!seen.insert(next).second) throw jet_corrupt(pager.path(), "table definition chain loops");
    std::vector<uint8_t> bytes = pager.read_page(next);
    if (bytes[0] != jet4::page_tdef)
      throw jet_corrupt(pager.path(), "page " + std::to_string(next) + " is not a table definition");
    chain.push_back(next);
    jet_view view(bytes, pager.path());
    uint32_t following = view.u32(jet4::tdef_next_page_offset);
    if (buffer.empty())
      buffer = std::move(bytes);
    else
      buffer.insert(buffer.end(), bytes.begin() + jet4::tdef_header_size, bytes.end());
    next = following;
  }
  return buffer;
}

}  // namespace

jet_table_def jet_read_tdef(const jet_pager& pager, uint32_t page) {
  jet_table_def def;
  def.page = page;
  std::vector<uint8_t> buffer = gather_chain(pager, page, def.chain);
  jet_view view(buffer, pager.path());

  view.require(0, def.raw_head.size(), "table definition cut short");
  std::copy_n(buffer.begin(), def.raw_head.size(), def.raw_head.begin());
  def.row_count = view.u32(jet4::tdef_row_count_offset);
  def.next_auto_number = view.u32(jet4::tdef_next_auto_offset);
  def.auto_flag = view.u8(jet4::tdef_auto_flag_offset);
  def.table_type = view.u8(jet4::tdef_table_type_offset);
  def.max_columns = view.u16(jet4::tdef_max_cols_offset);
  def.var_column_count = view.u16(jet4::tdef_var_cols_offset);
  uint32_t column_count = view.u16(jet4::tdef_col_count_offset);
  uint32_t index_count = view.u32(jet4::tdef_index_count_offset);
  uint32_t real_index_count = view.u32(jet4::tdef_real_index_count_offset);
  def.owned_pages = view.u32(jet4::tdef_owned_pages_offset);
  def.free_pages = view.u32(jet4::tdef_free_pages_offset);
  if (column_count > sane_column_limit || index_count > sane_index_limit ||
      real_index_count > sane_index_limit || column_count > def.max_columns)
    throw jet_corrupt(pager.path(), "impossible counts in table definition " + std::to_string(page));

  size_t at = jet4::tdef_block_end;
  def.real_indexes.resize(real_index_count);
  for (jet_real_index& real : def.real_indexes) {
    view.require(at, jet4::real_index_counter_size, "index counters outside the table definition");
    std::copy_n(view.data() + at, real.raw_counter.size(), real.raw_counter.begin());
    real.row_count = view.u32(at + 4);
    at += jet4::real_index_counter_size;
  }

  view.require(at, size_t(column_count) * jet4::column_entry_size, "columns outside the table definition");
  for (uint32_t i = 0; i < column_count; ++i, at += jet4::column_entry_size) {
    jet_column column;
    column.stored_position = uint16_t(i);
    std::copy_n(view.data() + at, column.raw.size(), column.raw.begin());
    column.type = view.u8(at + jet4::col_type_offset);
    column.number = view.u16(at + jet4::col_number_offset);
    column.var_index = view.u16(at + jet4::col_var_index_offset);
    column.index = view.u16(at + jet4::col_index_offset);
    if (column.type == jet_type::numeric) {
      column.precision = view.u8(at + jet4::col_misc_offset);
      column.scale = view.u8(at + jet4::col_misc_offset + 1);
    } else {
      column.sort_order = view.u16(at + jet4::col_misc_offset);
      column.sort_version = view.u8(at + jet4::col_misc_ext_offset + 1);
    }
    column.flags = view.u8(at + jet4::col_flags_offset);
    column.ext_flags = view.u8(at + jet4::col_ext_flags_offset);
    column.fixed_offset = view.u16(at + jet4::col_fixed_offset_offset);
    column.length = view.u16(at + jet4::col_length_offset);
    def.columns.push_back(std::move(column));
  }
  for (jet_column& column : def.columns) column.name = read_name(view, at);
  // Definitions are stored in name order; fields are presented in column order.
  std::stable_sort(def.columns.begin(), def.columns.end(),
                   [](const jet_column& a, const jet_column& b) { return a.number < b.number; });

  for (jet_real_index& real : def.real_indexes) {
    view.require(at, jet4::real_index_entry_size, "index outside the table definition");
    std::copy_n(view.data() + at, real.raw.size(), real.raw.begin());
    for (uint32_t k = 0; k < jet4::real_index_key_columns; ++k) {
      size_t slot = at + jet4::real_index_columns_offset + 3 * k;
      uint16_t number = view.u16(slot);
      if (number == jet4::index_no_column) continue;
      real.columns.push_back({number, view.u8(slot + 2) == jet4::index_order_ascending});
    }
    real.used_pages = view.u32(at + jet4::real_index_used_pages_offset);
    real.first_page = view.u32(at + jet4::real_index_first_page_offset);
    real.flags = view.u8(at + jet4::real_index_flags_offset);
    at += jet4::real_index_entry_size;
  }

  def.indexes.resize(index_count);
  for (jet_logical_index& index : def.indexes) {
    view.require(at, jet4::logical_index_entry_size, "index outside the table definition");
    std::copy_n(view.data() + at, index.raw.size(), index.raw.begin());
    index.number = view.u32(at + jet4::logical_index_number_offset);
    index.real_index = view.u32(at + jet4::logical_index_real_offset);
    index.rel_table_type = view.u8(at + jet4::logical_index_rel_type_offset);
    index.rel_index = view.u32(at + jet4::logical_index_rel_index_offset);
    index.rel_table_page = view.u32(at + jet4::logical_index_rel_table_offset);
    index.update_flags = view.u8(at + jet4::logical_index_cascade_up_offset);
    index.delete_flags = view.u8(at + jet4::logical_index_cascade_del_offset);
    index.type = view.u8(at + jet4::logical_index_type_offset);
    if (index.real_index >= real_index_count)
      throw jet_corrupt(pager.path(), "logical index names a missing physical index");
    at += jet4::logical_index_entry_size;
  }
  for (jet_logical_index& index : def.indexes) index.name = read_name(view, at);

  // Long-value columns' own usage maps, ended by column 0xffff.
  while (view.fits(at, 2)) {
    uint16_t number = view.u16(at);
    if (number == jet4::index_no_column) break;
    view.require(at, jet4::column_map_entry_size, "column usage map outside the table definition");
    def.column_maps.push_back({number, view.u32(at + 2), view.u32(at + 6)});
    at += jet4::column_map_entry_size;
    if (def.column_maps.size() > column_count) break;
  }
  return def;
}
