#include "jet/jet_tabw.h"

#include "jet/jet_byte.h"
#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_row.h"
#include "jet/jet_type.h"
#include "jet/jet_umap.h"
#include "jet/jet_wpag.h"
#include "jet/jet_wtdf.h"
#include "jet/jet_wval.h"

namespace {

// The largest row a data page holds: the page less its head and one offset.
constexpr uint32_t max_row_size = jet4::page_size - jet4::data_row_table_offset - 2;

}  // namespace

jet_table_writer::jet_table_writer(jet_database& db, const jet_catalog_entry& table)
    : db_(db), pager_(db.pager_for_update()), def_(db.table_def(table)) {
  if (!def_.real_indexes.empty())
    throw jet_error(jet_dao_error::invalid_argument,
                    "Rows cannot be added to a table with indexes yet.");
}

void jet_table_writer::mark_owned(uint32_t owned_map, uint32_t free_map, uint32_t page) {
  if (!jet_usage_map_mark(pager_, owned_map, page, true) || !jet_usage_map_mark(pager_, free_map, page, true))
    throw jet_error(jet_dao_error::invalid_argument, "The table's page map cannot take more pages yet.");
}

uint32_t jet_table_writer::add_lval_row(const jet_column& column, const std::vector<uint8_t>& row) {
  const jet_column_map* map = nullptr;
  for (const jet_column_map& candidate : def_.column_maps)
    if (candidate.column_number == column.number) map = &candidate;
  if (lval_page_ != 0) {
    std::vector<uint8_t> page = pager_.read_page(lval_page_);
    int number = jet_page_add_row(page, row);
    if (number >= 0) {
      pager_.write_page(lval_page_, page);
      return jet_row_pointer(lval_page_, uint32_t(number));
    }
  }
  std::vector<uint8_t> page = jet_new_data_page(jet4::lval_owner_tag);
  int number = jet_page_add_row(page, row);
  if (number < 0) throw jet_error(3047, "Record is too large.");
  lval_page_ = jet_append_page(pager_, page);
  if (map) mark_owned(map->owned_pages, map->free_pages, lval_page_);
  return jet_row_pointer(lval_page_, uint32_t(number));
}

std::vector<uint8_t> jet_table_writer::place_long_value(const jet_column& column, const std::vector<uint8_t>& bytes) {
  uint32_t length = uint32_t(bytes.size());
  if (length > jet4::lv_length_mask) throw jet_error(3047, "Record is too large.");
  if (length <= jet_inline_long_value_limit) return jet_lv_reference(jet_lv_place::inline_data, length, 0, bytes);
  if (length <= max_row_size)
    return jet_lv_reference(jet_lv_place::single_row, length, add_lval_row(column, bytes), {});
  // A chain: each part carries the pointer to the next, so the last is written first.
  const uint32_t part_size = max_row_size - jet4::lv_chain_link_size;
  uint32_t parts = (length + part_size - 1) / part_size;
  uint32_t next = 0;
  for (uint32_t i = parts; i-- > 0;) {
    size_t from = size_t(i) * part_size;
    size_t to = std::min<size_t>(bytes.size(), from + part_size);
    std::vector<uint8_t> row(jet4::lv_chain_link_size);
    jet_put_u32(row.data(), next);
    row.insert(row.end(), bytes.begin() + long(from), bytes.begin() + long(to));
    next = add_lval_row(column, row);
  }
  return jet_lv_reference(jet_lv_place::chain, length, next, {});
}

uint32_t jet_table_writer::append(const std::vector<jet_value>& values) {
  if (values.size() != def_.columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "Row does not match its table.");
  uint32_t auto_number = def_.next_auto_number;
  std::vector<jet_cell> cells(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const jet_column& column = def_.columns[i];
    jet_value value = values[i];
    if (column.is_auto_long() && value.is_null) {
      value = jet_value::null(column.type);
      value.is_null = false;
      value.integer = ++auto_number;
    }
    if (jet_type::is_long_value(column.type)) {
      if (value.is_null) continue;
      cells[i].present = true;
      cells[i].bytes = place_long_value(column, jet_long_value_bytes(column, value));
    } else {
      cells[i] = jet_value_cell(column, value);
    }
  }
  std::vector<uint8_t> row = jet_join_row(def_, cells);
  if (row.size() > max_row_size) throw jet_error(3047, "Record is too large.");

  int number = -1;
  if (data_page_ == 0) {
    // Start from the last page the table owns, if it is one of its data pages.
    std::vector<uint32_t> owned = jet_read_usage_map(pager_, def_.owned_pages);
    for (auto it = owned.rbegin(); it != owned.rend() && data_page_ == 0; ++it) {
      std::vector<uint8_t> page = pager_.read_page(*it);
      jet_view view(page, pager_.path());
      if (view.u8(0) == jet4::page_data && view.u32(jet4::data_owner_offset) == def_.page) data_page_ = *it;
    }
  }
  uint32_t page_number = data_page_;
  if (page_number != 0) {
    std::vector<uint8_t> page = pager_.read_page(page_number);
    number = jet_page_add_row(page, row);
    if (number >= 0) pager_.write_page(page_number, page);
  }
  if (number < 0) {
    std::vector<uint8_t> page = jet_new_data_page(def_.page);
    number = jet_page_add_row(page, row);
    page_number = jet_append_page(pager_, page);
    mark_owned(def_.owned_pages, def_.free_pages, page_number);
    data_page_ = page_number;
  }
  def_.row_count += 1;
  def_.next_auto_number = auto_number;
  save_definition();
  return jet_row_pointer(page_number, uint32_t(number));
}

void jet_table_writer::save_definition() {
  std::vector<std::vector<uint8_t>> pages = jet_tdef_pages(jet_encode_tdef(def_), def_.chain);
  for (size_t i = 0; i < pages.size(); ++i) pager_.write_page(def_.chain[i], pages[i]);
}
