#include "jet/table/definition.h"

#include <algorithm>
#include <set>

#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

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

std::u16string read_name(const jet_format& format, const jet_view& view, size_t& at) {
  uint32_t length = format.name_length_size == 1 ? view.u8(at) : view.u16(at);
  at += format.name_length_size;
  view.require(at, length, "name outside the table definition");
  std::u16string name = format.decode_text(view.data() + at, length);
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
    if (bytes[0] != jet_const::page_tdef)
      throw jet_corrupt(pager.path(), "page " + std::to_string(next) + " is not a table definition");
    chain.push_back(next);
    jet_view view(bytes, pager.path());
    uint32_t following = view.u32(jet_const::tdef_next_page_offset);
    if (buffer.empty())
      buffer = std::move(bytes);
    else
      buffer.insert(buffer.end(), bytes.begin() + jet_const::tdef_header_size, bytes.end());
    next = following;
  }
  return buffer;
}

}  // namespace

jet_table_def jet_read_tdef(const jet_pager& pager, uint32_t page) {
  const jet_format& f = pager.format();
  jet_table_def def;
  def.format = &f;
  def.page = page;
  std::vector<uint8_t> buffer = gather_chain(pager, page, def.chain);
  jet_view view(buffer, pager.path());

  view.require(0, f.tdef.block_end, "table definition cut short");
  std::copy_n(buffer.begin(), f.tdef.block_end, def.raw_head.begin());
  def.row_count = view.u32(f.tdef.row_count);
  def.next_auto_number = view.u32(f.tdef.next_auto);
  if (f.tdef.auto_flag != jet_format::absent) def.auto_flag = view.u8(f.tdef.auto_flag);
  def.table_type = view.u8(f.tdef.table_type);
  def.max_columns = view.u16(f.tdef.max_columns);
  def.var_column_count = view.u16(f.tdef.var_columns);
  uint32_t column_count = view.u16(f.tdef.columns);
  uint32_t index_count = view.u32(f.tdef.indexes);
  uint32_t real_index_count = view.u32(f.tdef.real_indexes);
  def.owned_pages = view.u32(f.tdef.owned_pages);
  def.free_pages = view.u32(f.tdef.free_pages);
  if (column_count > sane_column_limit || index_count > sane_index_limit ||
      real_index_count > sane_index_limit || column_count > def.max_columns)
    throw jet_corrupt(pager.path(), "impossible counts in table definition " + std::to_string(page));

  size_t at = f.tdef.block_end;
  def.real_indexes.resize(real_index_count);
  for (jet_real_index& real : def.real_indexes) {
    view.require(at, f.tdef.real_index_counter_size, "index counters outside the table definition");
    std::copy_n(view.data() + at, f.tdef.real_index_counter_size, real.raw_counter.begin());
    real.row_count = view.u32(at + 4);
    at += f.tdef.real_index_counter_size;
  }

  const auto& c = f.column;
  view.require(at, size_t(column_count) * c.size, "columns outside the table definition");
  for (uint32_t i = 0; i < column_count; ++i, at += c.size) {
    jet_column column;
    column.stored_position = uint16_t(i);
    std::copy_n(view.data() + at, c.size, column.raw.begin());
    column.type = view.u8(at + c.type);
    column.number = view.u16(at + c.number);
    column.var_index = view.u16(at + c.var_index);
    column.index = view.u16(at + c.index);
    if (column.type == jet_type::numeric && c.precision != jet_format::absent) {
      column.precision = view.u8(at + c.precision);
      column.scale = view.u8(at + c.precision + 1);
    } else {
      column.sort_order = view.u16(at + c.sort_order);
      column.sort_version = view.u8(at + c.sort_version);
      if (c.code_page != jet_format::absent) column.code_page = view.u16(at + c.code_page);
    }
    column.flags = view.u8(at + c.flags);
    if (c.ext_flags != jet_format::absent) column.ext_flags = view.u8(at + c.ext_flags);
    column.fixed_offset = view.u16(at + c.fixed_offset);
    column.length = view.u16(at + c.length);
    def.columns.push_back(std::move(column));
  }
  for (jet_column& column : def.columns) column.name = read_name(f, view, at);
  // Definitions are stored in name order; fields are presented in column order.
  std::stable_sort(def.columns.begin(), def.columns.end(),
                   [](const jet_column& a, const jet_column& b) { return a.number < b.number; });

  const auto& r = f.real_index;
  for (jet_real_index& real : def.real_indexes) {
    view.require(at, r.size, "index outside the table definition");
    std::copy_n(view.data() + at, r.size, real.raw.begin());
    for (uint32_t k = 0; k < jet_const::real_index_key_columns; ++k) {
      size_t slot = at + r.columns + 3 * k;
      uint16_t number = view.u16(slot);
      if (number == jet_const::index_no_column) continue;
      real.columns.push_back({number, view.u8(slot + 2) == jet_const::index_order_ascending});
    }
    real.used_pages = view.u32(at + r.used_pages);
    real.first_page = view.u32(at + r.first_page);
    real.flags = view.u8(at + r.flags);
    at += r.size;
  }

  const auto& l = f.logical_index;
  def.indexes.resize(index_count);
  for (jet_logical_index& index : def.indexes) {
    view.require(at, l.size, "index outside the table definition");
    std::copy_n(view.data() + at, l.size, index.raw.begin());
    index.number = view.u32(at + l.number);
    index.real_index = view.u32(at + l.real_index);
    index.rel_table_type = view.u8(at + l.rel_table_type);
    index.rel_index = view.u32(at + l.rel_index);
    index.rel_table_page = view.u32(at + l.rel_table);
    index.update_flags = view.u8(at + l.cascade_update);
    index.delete_flags = view.u8(at + l.cascade_delete);
    index.type = view.u8(at + l.type);
    if (index.real_index >= real_index_count)
      throw jet_corrupt(pager.path(), "logical index names a missing physical index");
    at += l.size;
  }
  for (jet_logical_index& index : def.indexes) index.name = read_name(f, view, at);

  // Long-value columns' own usage maps, ended by column 0xffff.
  while (view.fits(at, 2)) {
    uint16_t number = view.u16(at);
    if (number == jet_const::index_no_column) break;
    view.require(at, jet_const::column_map_entry_size, "column usage map outside the table definition");
    def.column_maps.push_back({number, view.u32(at + 2), view.u32(at + 6)});
    at += jet_const::column_map_entry_size;
    if (def.column_maps.size() > column_count) break;
  }
  return def;
}
