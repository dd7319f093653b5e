#include "jet/table/definition_writer.h"

#include <algorithm>

#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

void append_name(const jet_format& format, std::vector<uint8_t>& out, const std::u16string& name) {
  std::vector<uint8_t> stored = format.encode_text(name);
  if (format.name_length_size == 1) {
    // A name of more than 255 bytes cannot be told; names are cut to 64 characters long before.
    if (stored.size() > 0xff) stored.resize(0xff);
    out.push_back(uint8_t(stored.size()));
  } else {
    out.resize(out.size() + 2);
    jet_put_u16(&out[out.size() - 2], uint16_t(stored.size()));
  }
  out.insert(out.end(), stored.begin(), stored.end());
}

// The first `size` bytes of a descriptor as read.
template <size_t N>
uint8_t* append_raw(std::vector<uint8_t>& out, const std::array<uint8_t, N>& raw, size_t size) {
  size_t at = out.size();
  out.insert(out.end(), raw.begin(), raw.begin() + long(size));
  return &out[at];
}

// Jet 3 marks every definition page with these two bytes where Jet 4 keeps its free space.
constexpr uint8_t jet3_page_mark[2] = {'V', 'C'};

}  // namespace

std::vector<uint8_t> jet_encode_tdef(const jet_table_def& def) {
  const jet_format& f = *def.format;
  std::vector<uint8_t> out(def.raw_head.begin(), def.raw_head.begin() + f.tdef.block_end);
  out[0] = jet_const::page_tdef;
  out[1] = 0x01;
  if (!f.tdef.has_free_space) std::copy_n(jet3_page_mark, 2, &out[jet_const::tdef_free_space_offset]);
  jet_put_u32(&out[jet_const::tdef_next_page_offset], 0);
  jet_put_u32(&out[f.tdef.row_count], def.row_count);
  jet_put_u32(&out[f.tdef.next_auto], def.next_auto_number);
  if (f.tdef.auto_flag != jet_format::absent) out[f.tdef.auto_flag] = def.auto_flag;
  out[f.tdef.table_type] = def.table_type;
  jet_put_u16(&out[f.tdef.max_columns], def.max_columns);
  jet_put_u16(&out[f.tdef.var_columns], def.var_column_count);
  jet_put_u16(&out[f.tdef.columns], uint16_t(def.columns.size()));
  jet_put_u32(&out[f.tdef.indexes], uint32_t(def.indexes.size()));
  jet_put_u32(&out[f.tdef.real_indexes], uint32_t(def.real_indexes.size()));
  jet_put_u32(&out[f.tdef.owned_pages], def.owned_pages);
  jet_put_u32(&out[f.tdef.free_pages], def.free_pages);

  for (const jet_real_index& real : def.real_indexes) {
    uint8_t* at = append_raw(out, real.raw_counter, f.tdef.real_index_counter_size);
    jet_put_u32(at + 4, real.row_count);
  }

  std::vector<const jet_column*> stored;
  for (const jet_column& column : def.columns) stored.push_back(&column);
  std::stable_sort(stored.begin(), stored.end(), [](const jet_column* a, const jet_column* b) {
    return a->stored_position < b->stored_position;
  });
  const auto& c = f.column;
  for (const jet_column* column : stored) {
    uint8_t* at = append_raw(out, column->raw, c.size);
    at[c.type] = column->type;
    jet_put_u16(at + c.number, column->number);
    jet_put_u16(at + c.var_index, column->var_index);
    jet_put_u16(at + c.index, column->index);
    if (column->type == jet_type::numeric && c.precision != jet_format::absent) {
      at[c.precision] = column->precision;
      at[c.precision + 1] = column->scale;
    } else {
      jet_put_u16(at + c.sort_order, column->sort_order);
      at[c.sort_version] = column->sort_version;
      if (c.code_page != jet_format::absent) jet_put_u16(at + c.code_page, column->code_page);
    }
    at[c.flags] = column->flags;
    if (c.ext_flags != jet_format::absent) at[c.ext_flags] = column->ext_flags;
    jet_put_u16(at + c.fixed_offset, column->fixed_offset);
    jet_put_u16(at + c.length, column->length);
  }
  for (const jet_column* column : stored) append_name(f, out, column->name);

  const auto& r = f.real_index;
  for (const jet_real_index& real : def.real_indexes) {
    uint8_t* at = append_raw(out, real.raw, r.size);
    for (uint32_t k = 0; k < jet_const::real_index_key_columns; ++k) {
      uint8_t* slot = at + r.columns + 3 * k;
      if (k < real.columns.size()) {
        jet_put_u16(slot, real.columns[k].column_number);
        // Keep a descending marker as read; Access 97 writes 0 (Access 2000's is unverified).
        if (real.columns[k].ascending) slot[2] = jet_const::index_order_ascending;
        else if (slot[2] == jet_const::index_order_ascending) slot[2] = 0x00;
      } else {
        jet_put_u16(slot, jet_const::index_no_column);
      }
    }
    jet_put_u32(at + r.used_pages, real.used_pages);
    jet_put_u32(at + r.first_page, real.first_page);
    at[r.flags] = real.flags;
  }

  const auto& l = f.logical_index;
  for (const jet_logical_index& index : def.indexes) {
    uint8_t* at = append_raw(out, index.raw, l.size);
    jet_put_u32(at + l.number, index.number);
    jet_put_u32(at + l.real_index, index.real_index);
    at[l.rel_table_type] = index.rel_table_type;
    jet_put_u32(at + l.rel_index, index.rel_index);
    jet_put_u32(at + l.rel_table, index.rel_table_page);
    at[l.cascade_update] = index.update_flags;
    at[l.cascade_delete] = index.delete_flags;
    at[l.type] = index.type;
  }
  for (const jet_logical_index& index : def.indexes) append_name(f, out, index.name);

  for (const jet_column_map& map : def.column_maps) {
    size_t at = out.size();
    out.resize(at + jet_const::column_map_entry_size);
    jet_put_u16(&out[at], map.column_number);
    jet_put_u32(&out[at + 2], map.owned_pages);
    jet_put_u32(&out[at + 6], map.free_pages);
  }
  out.push_back(0xff);
  out.push_back(0xff);
  jet_put_u32(&out[jet_const::tdef_length_offset], uint32_t(out.size()));
  return out;
}

uint32_t jet_tdef_page_count(const jet_format& format, size_t length) {
  const size_t page_size = format.page_size;
  if (length <= page_size) return 1;
  size_t per_page = page_size - jet_const::tdef_header_size;
  return uint32_t(1 + (length - page_size + per_page - 1) / per_page);
}

std::vector<std::vector<uint8_t>> jet_tdef_pages(const jet_format& format, const std::vector<uint8_t>& joined,
                                                 const std::vector<uint32_t>& chain) {
  const size_t page_size = format.page_size;
  const size_t head = jet_const::tdef_header_size;
  if (chain.size() < jet_tdef_page_count(format, joined.size()) || joined.size() < head)
    throw jet_error(jet_dao_error::invalid_argument, "Table definition does not fit its pages.");
  std::vector<std::vector<uint8_t>> pages;
  size_t taken = 0;
  for (size_t i = 0; i < chain.size() && taken < joined.size(); ++i) {
    std::vector<uint8_t> page(page_size, 0);
    size_t room;
    if (i == 0) {
      room = std::min<size_t>(joined.size(), page_size);
      std::copy_n(joined.begin(), room, page.begin());
    } else {
      page[0] = jet_const::page_tdef;
      page[1] = 0x01;
      room = std::min<size_t>(joined.size() - taken, page_size - head);
      std::copy_n(joined.begin() + long(taken), room, page.begin() + head);
    }
    taken += room;
    size_t used = i == 0 ? room : room + head;
    if (format.tdef.has_free_space) {
      // Access counts the free bytes less the 8-byte page head.
      size_t free_bytes = page_size - used;
      jet_put_u16(&page[jet_const::tdef_free_space_offset], uint16_t(free_bytes > head ? free_bytes - head : 0));
    } else {
      std::copy_n(jet3_page_mark, 2, &page[jet_const::tdef_free_space_offset]);
    }
    bool more = taken < joined.size();
    jet_put_u32(&page[jet_const::tdef_next_page_offset], more ? chain[i + 1] : 0);
    pages.push_back(std::move(page));
  }
  return pages;
}
