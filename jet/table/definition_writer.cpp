#include "jet/table/definition_writer.h"

#include <algorithm>

#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/jet4.h"

namespace {

void append_name(std::vector<uint8_t>& out, const std::u16string& name) {
  size_t at = out.size();
  out.resize(at + 2 + 2 * name.size());
  jet_put_u16(&out[at], uint16_t(2 * name.size()));
  for (size_t i = 0; i < name.size(); ++i) jet_put_u16(&out[at + 2 + 2 * i], uint16_t(name[i]));
}

template <size_t N>
uint8_t* append_raw(std::vector<uint8_t>& out, const std::array<uint8_t, N>& raw) {
  size_t at = out.size();
  out.insert(out.end(), raw.begin(), raw.end());
  return &out[at];
}

}  // namespace

std::vector<uint8_t> jet_encode_tdef(const jet_table_def& def) {
  std::vector<uint8_t> out(def.raw_head.begin(), def.raw_head.end());
  out[0] = jet4::page_tdef;
  out[1] = 0x01;
  jet_put_u32(&out[jet4::tdef_next_page_offset], 0);
  jet_put_u32(&out[jet4::tdef_row_count_offset], def.row_count);
  jet_put_u32(&out[jet4::tdef_next_auto_offset], def.next_auto_number);
  out[jet4::tdef_auto_flag_offset] = def.auto_flag;
  out[jet4::tdef_table_type_offset] = def.table_type;
  jet_put_u16(&out[jet4::tdef_max_cols_offset], def.max_columns);
  jet_put_u16(&out[jet4::tdef_var_cols_offset], def.var_column_count);
  jet_put_u16(&out[jet4::tdef_col_count_offset], uint16_t(def.columns.size()));
  jet_put_u32(&out[jet4::tdef_index_count_offset], uint32_t(def.indexes.size()));
  jet_put_u32(&out[jet4::tdef_real_index_count_offset], uint32_t(def.real_indexes.size()));
  jet_put_u32(&out[jet4::tdef_owned_pages_offset], def.owned_pages);
  jet_put_u32(&out[jet4::tdef_free_pages_offset], def.free_pages);

  for (const jet_real_index& real : def.real_indexes) {
    uint8_t* at = append_raw(out, real.raw_counter);
    jet_put_u32(at + 4, real.row_count);
  }

  std::vector<const jet_column*> stored;
  for (const jet_column& column : def.columns) stored.push_back(&column);
  std::stable_sort(stored.begin(), stored.end(), [](const jet_column* a, const jet_column* b) {
    return a->stored_position < b->stored_position;
  });
  for (const jet_column* column : stored) {
    uint8_t* at = append_raw(out, column->raw);
    at[jet4::col_type_offset] = column->type;
    jet_put_u16(at + jet4::col_number_offset, column->number);
    jet_put_u16(at + jet4::col_var_index_offset, column->var_index);
    jet_put_u16(at + jet4::col_index_offset, column->index);
    if (column->type == jet_type::numeric) {
      at[jet4::col_misc_offset] = column->precision;
      at[jet4::col_misc_offset + 1] = column->scale;
    } else {
      jet_put_u16(at + jet4::col_misc_offset, column->sort_order);
      at[jet4::col_misc_ext_offset + 1] = column->sort_version;
    }
    at[jet4::col_flags_offset] = column->flags;
    at[jet4::col_ext_flags_offset] = column->ext_flags;
    jet_put_u16(at + jet4::col_fixed_offset_offset, column->fixed_offset);
    jet_put_u16(at + jet4::col_length_offset, column->length);
  }
  for (const jet_column* column : stored) append_name(out, column->name);

  for (const jet_real_index& real : def.real_indexes) {
    uint8_t* at = append_raw(out, real.raw);
    for (uint32_t k = 0; k < jet4::real_index_key_columns; ++k) {
      uint8_t* slot = at + jet4::real_index_columns_offset + 3 * k;
      if (k < real.columns.size()) {
        jet_put_u16(slot, real.columns[k].column_number);
        // Keep a descending marker as read; we only know the ascending one.
        if (real.columns[k].ascending) slot[2] = jet4::index_order_ascending;
        else if (slot[2] == jet4::index_order_ascending) slot[2] = 0x02;
      } else {
        jet_put_u16(slot, jet4::index_no_column);
      }
    }
    jet_put_u32(at + jet4::real_index_used_pages_offset, real.used_pages);
    jet_put_u32(at + jet4::real_index_first_page_offset, real.first_page);
    at[jet4::real_index_flags_offset] = real.flags;
  }

  for (const jet_logical_index& index : def.indexes) {
    uint8_t* at = append_raw(out, index.raw);
    jet_put_u32(at + jet4::logical_index_number_offset, index.number);
    jet_put_u32(at + jet4::logical_index_real_offset, index.real_index);
    at[jet4::logical_index_rel_type_offset] = index.rel_table_type;
    jet_put_u32(at + jet4::logical_index_rel_index_offset, index.rel_index);
    jet_put_u32(at + jet4::logical_index_rel_table_offset, index.rel_table_page);
    at[jet4::logical_index_cascade_up_offset] = index.update_flags;
    at[jet4::logical_index_cascade_del_offset] = index.delete_flags;
    at[jet4::logical_index_type_offset] = index.type;
  }
  for (const jet_logical_index& index : def.indexes) append_name(out, index.name);

  for (const jet_column_map& map : def.column_maps) {
    size_t at = out.size();
    out.resize(at + jet4::column_map_entry_size);
    jet_put_u16(&out[at], map.column_number);
    jet_put_u32(&out[at + 2], map.owned_pages);
    jet_put_u32(&out[at + 6], map.free_pages);
  }
  out.push_back(0xff);
  out.push_back(0xff);
  jet_put_u32(&out[jet4::tdef_length_offset], uint32_t(out.size()));
  return out;
}

uint32_t jet_tdef_page_count(size_t length) {
  if (length <= jet4::page_size) return 1;
  size_t per_page = jet4::page_size - jet4::tdef_header_size;
  return uint32_t(1 + (length - jet4::page_size + per_page - 1) / per_page);
}

std::vector<std::vector<uint8_t>> jet_tdef_pages(const std::vector<uint8_t>& joined,
                                                 const std::vector<uint32_t>& chain) {
  if (chain.size() < jet_tdef_page_count(joined.size()) || joined.size() < jet4::tdef_header_size)
    throw jet_error(jet_dao_error::invalid_argument, "Table definition does not fit its pages.");
  std::vector<std::vector<uint8_t>> pages;
  size_t taken = 0;
  for (size_t i = 0; i < chain.size() && taken < joined.size(); ++i) {
    std::vector<uint8_t> page(jet4::page_size, 0);
    size_t room;
    if (i == 0) {
      room = std::min<size_t>(joined.size(), jet4::page_size);
      std::copy_n(joined.begin(), room, page.begin());
    } else {
      page[0] = jet4::page_tdef;
      page[1] = 0x01;
      room = std::min<size_t>(joined.size() - taken, jet4::page_size - jet4::tdef_header_size);
      std::copy_n(joined.begin() + long(taken), room, page.begin() + jet4::tdef_header_size);
    }
    taken += room;
    size_t used = i == 0 ? room : room + jet4::tdef_header_size;
    // Access counts the free bytes less the 8-byte page head.
    size_t free_bytes = jet4::page_size - used;
    jet_put_u16(&page[jet4::tdef_free_space_offset],
                uint16_t(free_bytes > jet4::tdef_header_size ? free_bytes - jet4::tdef_header_size : 0));
    bool more = taken < joined.size();
    jet_put_u32(&page[jet4::tdef_next_page_offset], more ? chain[i + 1] : 0);
    pages.push_back(std::move(page));
  }
  return pages;
}
