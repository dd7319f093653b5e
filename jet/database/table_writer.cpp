#include "jet/database/table_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "jet/file/data_page.h"
#include "jet/file/page_writer.h"
#include "jet/file/usage_map.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/index/entry_sorter.h"
#include "jet/index/index_key.h"
#include "jet/index/tree_builder.h"
#include "jet/table/cursor.h"
#include "jet/table/definition_writer.h"
#include "jet/table/row.h"
#include "jet/table/value_cell.h"

namespace {

std::string_view key_bytes(const std::vector<uint8_t>& key) {
  return std::string_view(reinterpret_cast<const char*>(key.data()), key.size());
}

bool is_unique(const jet_real_index& index) { return index.flags & jet_const::index_flag_unique; }

// A fixed column whose value goes into the row as its type's own bytes.
bool plain_fixed(const jet_column& column) {
  switch (column.type) {
    case jet_type::byte:
    case jet_type::integer:
    case jet_type::long_integer:
    case jet_type::currency:
    case jet_type::single:
    case jet_type::double_:
    case jet_type::date_time: return column.is_fixed() && column.length <= jet_type::fixed_size(column.type);
    default: return false;
  }
}

template <typename T>
void put_fixed(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);  // the engine runs on little-endian hosts
}

// The bytes jet_value_cell gives a plain fixed column's value, at `at`.
void put_plain_fixed(uint8_t* at, uint8_t type, const jet_value& value) {
  switch (type) {
    case jet_type::byte: *at = uint8_t(value.integer); break;
    case jet_type::integer: put_fixed(at, int16_t(value.integer)); break;
    case jet_type::long_integer: put_fixed(at, int32_t(value.integer)); break;
    case jet_type::currency: put_fixed(at, int64_t(value.integer)); break;
    case jet_type::single: put_fixed(at, float(value.real)); break;
    default: put_fixed(at, value.real); break;  // Double, Date/Time
  }
}

}  // namespace

jet_table_writer::jet_table_writer(jet_database& db, const jet_catalog_entry& table)
    : db_(db), pager_(db.pager_for_update()), format_(pager_.format()), def_(db.table_def(table)) {
  unique_keys_.resize(def_.real_indexes.size());
  top_keys_.resize(def_.real_indexes.size());
  has_top_key_.assign(def_.real_indexes.size(), false);
  layout_ = jet_layout_rows(def_);
  direct_fixed_ = layout_.all_columns && !layout_.shared_slots;
  for (const jet_column& column : def_.columns)
    if ((column.is_fixed() && column.type != jet_type::boolean && !plain_fixed(column)) ||
        (column.is_auto_long() && !plain_fixed(column)))
      direct_fixed_ = false;
  scan_existing_rows();
}

void jet_table_writer::note_top_key(size_t i, const std::vector<uint8_t>& key) {
  if (!has_top_key_[i] || top_keys_[i] < key) {
    top_keys_[i].assign(key.begin(), key.end());
    has_top_key_[i] = true;
  }
}

void jet_table_writer::scan_existing_rows() {
  if (def_.real_indexes.empty()) return;
  // A Yes/No column stores No for a Null: such keys come from the stored rows.
  bool gather = true;
  for (const jet_real_index& index : def_.real_indexes)
    for (const jet_index_column& key_column : index.columns)
      for (const jet_column& column : def_.columns)
        if (column.number == key_column.column_number && column.type == jet_type::boolean) gather = false;
  if (gather) {
    const size_t budget =
        std::max(jet_entry_sorter::default_memory_budget / def_.real_indexes.size(), size_t(256) << 10);
    for (size_t i = 0; i < def_.real_indexes.size(); ++i) entries_.push_back(std::make_unique<jet_entry_sorter>(budget));
  }
  gathered_ = gather;
  jet_table_cursor cursor(pager_, def_);
  std::vector<jet_value> row;
  std::vector<uint8_t> key;
  while (cursor.next(row)) {
    for (size_t i = 0; i < def_.real_indexes.size(); ++i) {
      const jet_real_index& index = def_.real_indexes[i];
      bool all_null;
      if (!index_key(index, row, key, all_null))
        throw jet_error(jet_dao_error::invalid_argument, "The table's index keys cannot be written yet.");
      if (is_unique(index) && !all_null) note_top_key(i, key);
      gather_entry(i, key, all_null, cursor.position());
    }
  }
}

void jet_table_writer::gather_entry(size_t i, const std::vector<uint8_t>& key, bool all_null, uint32_t row_pointer) {
  if (!gathered_) return;
  if (all_null && (def_.real_indexes[i].flags & jet_const::index_flag_ignore_nulls)) return;
  try {
    entries_[i]->add(0, key.data(), key.size(), row_pointer);
  } catch (const jet_error&) {
    // The row is in; the indexes are then written from the rows at close().
    drop_gathered_entries();
  }
}

void jet_table_writer::drop_gathered_entries() {
  gathered_ = false;
  entries_.clear();
}

void jet_table_writer::collect_unique_keys() {
  for (jet_key_set& keys : unique_keys_) keys.clear();
  std::fill(has_top_key_.begin(), has_top_key_.end(), false);
  key_sets_filled_ = true;
  if (def_.real_indexes.empty()) return;
  jet_table_cursor cursor(pager_, def_);
  std::vector<jet_value> row;
  std::vector<uint8_t> key;
  try {
    while (cursor.next(row)) {
      for (size_t i = 0; i < def_.real_indexes.size(); ++i) {
        bool all_null;
        if (!index_key(def_.real_indexes[i], row, key, all_null))
          throw jet_error(jet_dao_error::invalid_argument, "The table's index keys cannot be written yet.");
        if (is_unique(def_.real_indexes[i]) && !all_null) {
          unique_keys_[i].insert(jet_key_set::hash(key_bytes(key)), cursor.position());
          note_top_key(i, key);
        }
      }
    }
  } catch (...) {
    // Half-filled sets would miss keys: the next lookup reads the rows again.
    key_sets_filled_ = false;
    throw;
  }
}

bool jet_table_writer::duplicate_key(size_t i, const std::vector<uint8_t>& key) {
  // Keys arriving in ascending order (a primary key copied in its order)
  // pass here without a lookup and without a place in the key set.
  if (!has_top_key_[i] || top_keys_[i] < key) return false;
  if (!key_sets_filled_) collect_unique_keys();
  return key_taken(i, key);
}

std::vector<jet_value> jet_table_writer::row_at(uint32_t row_pointer) const {
  jet_fetched_row row = jet_fetch_row(pager_, row_pointer, def_.page);
  if (row.slot.overflow) row = jet_fetch_row(pager_, row.bytes().u32(0), def_.page, true);
  return jet_decode_row(pager_, def_, row.bytes());
}

bool jet_table_writer::key_taken(size_t i, const std::vector<uint8_t>& key) const {
  std::vector<uint8_t> stored;
  for (uint32_t pointer : unique_keys_[i].candidates(jet_key_set::hash(key_bytes(key)))) {
    bool all_null;
    if (index_key(def_.real_indexes[i], row_at(pointer), stored, all_null) && stored == key) return true;
  }
  return false;
}

jet_table_writer::~jet_table_writer() {
  try {
    close();
  } catch (...) {
    // Destructors do not throw; close() explicitly to see the error.
  }
}

bool jet_table_writer::index_key(const jet_real_index& index, const std::vector<jet_value>& values,
                                 std::vector<uint8_t>& key, bool& all_null) const {
  key.clear();
  all_null = true;
  for (const jet_index_column& key_column : index.columns) {
    size_t at = 0;
    while (at < def_.columns.size() && def_.columns[at].number != key_column.column_number) ++at;
    if (at == def_.columns.size()) throw jet_corrupt(pager_.path(), "index names a missing column");
    if (!jet_append_key(key, def_.columns[at], values[at], key_column.ascending)) return false;
    if (!values[at].is_null) all_null = false;
  }
  return true;
}

// One index's tree written anew: its own pages are used again first, more
// come from the file's end, and pages left over become free.
class jet_table_writer::index_rebuild {
 public:
  index_rebuild(jet_pager& pager, uint32_t tdef_page, jet_real_index& index)
      : pager_(pager),
        index_(index),
        builder_(
            pager.format(), tdef_page, [this] { return next_page(); },
            [this](uint32_t page, const std::vector<uint8_t>& bytes) { pager_.write_page(page, bytes); }) {
    for (uint32_t page : jet_read_usage_map(pager_, index_.used_pages)) {
      uint8_t type = pager_.read_page(page)[0];
      if (type == jet_const::page_index_leaf || type == jet_const::page_index_node) old_pages_.push_back(page);
    }
  }

  void add(const jet_sorted_entry& entry) { builder_.add(entry.key, entry.key_size, entry.row_pointer); }

  void finish() {
    index_.first_page = builder_.finish();
    for (uint32_t page : appended_)
      if (!jet_usage_map_mark(pager_, index_.used_pages, page, true))
        throw jet_error(jet_dao_error::invalid_argument, "The index's page map cannot take more pages yet.");
    for (size_t k = reused_; k < old_pages_.size(); ++k) {
      jet_usage_map_mark(pager_, index_.used_pages, old_pages_[k], false);
      jet_usage_map_mark(pager_, jet_row_pointer(jet_const::global_usage_map_page, 0), old_pages_[k], true);
    }
    // The counter beside each index holds its number of distinct keys.
    index_.row_count = builder_.distinct_keys();
  }

 private:
  uint32_t next_page() {
    if (reused_ < old_pages_.size()) return old_pages_[reused_++];
    uint32_t page = jet_append_page(pager_, std::vector<uint8_t>(pager_.page_size(), 0));
    appended_.push_back(page);
    return page;
  }

  jet_pager& pager_;
  jet_real_index& index_;
  jet_index_builder builder_;
  std::vector<uint32_t> old_pages_;
  size_t reused_ = 0;
  std::vector<uint32_t> appended_;
};

void jet_table_writer::rebuild_indexes() {
  // One pass over the rows feeds one sorter for all the indexes, so they
  // share its memory; each entry is tagged with its index's number.
  jet_entry_sorter sorter;
  {
    // Only the indexed columns are decoded; the others stay null.
    std::vector<bool> keyed(def_.columns.size(), false);
    for (const jet_real_index& index : def_.real_indexes)
      for (const jet_index_column& key_column : index.columns)
        for (size_t at = 0; at < def_.columns.size(); ++at)
          if (def_.columns[at].number == key_column.column_number) keyed[at] = true;
    jet_table_cursor cursor(pager_, def_);
    std::vector<uint8_t> stored;
    std::vector<jet_cell> cells;
    std::vector<jet_value> row;
    std::vector<uint8_t> key;
    for (const jet_column& column : def_.columns) row.push_back(jet_value::null(column.type));
    while (cursor.next_stored(stored)) {
      jet_split_row(def_, jet_view(stored, pager_.path()), cells);
      for (size_t at = 0; at < cells.size() && at < row.size(); ++at)
        if (keyed[at]) row[at] = jet_cell_value(pager_, def_.columns[at], cells[at]);
      for (size_t i = 0; i < def_.real_indexes.size(); ++i) {
        const jet_real_index& index = def_.real_indexes[i];
        bool all_null;
        if (!index_key(index, row, key, all_null))
          throw jet_error(jet_dao_error::invalid_argument, "The table's index keys cannot be written yet.");
        if (all_null && (index.flags & jet_const::index_flag_ignore_nulls)) continue;
        sorter.add(uint32_t(i), key.data(), key.size(), cursor.position());
      }
    }
  }

  // Entries come index by index; an index without entries still gets its empty leaf.
  std::unique_ptr<index_rebuild> current;
  size_t next_index = 0;
  auto open_until = [&](size_t index) {
    while (next_index <= index) {
      if (current) current->finish();
      current = std::make_unique<index_rebuild>(pager_, def_.page, def_.real_indexes[next_index++]);
    }
  };
  sorter.drain([&](const jet_sorted_entry& entry) {
    open_until(entry.group);
    current->add(entry);
  });
  if (!def_.real_indexes.empty()) open_until(def_.real_indexes.size() - 1);
  if (current) current->finish();
}

void jet_table_writer::write_gathered_indexes() {
  // The sorters empty as they are read: a retry, or rows added after this,
  // write the indexes from the rows.
  std::vector<std::unique_ptr<jet_entry_sorter>> entries = std::move(entries_);
  drop_gathered_entries();
  for (size_t i = 0; i < def_.real_indexes.size(); ++i) {
    index_rebuild tree(pager_, def_.page, def_.real_indexes[i]);
    entries[i]->drain([&tree](const jet_sorted_entry& entry) { tree.add(entry); });
    tree.finish();
  }
}

void jet_table_writer::close() {
  if (indexes_stale_) {
    // Stale until the rebuild is through: a disk that refused part of it
    // gets the whole rebuild again when close() is tried again.
    if (gathered_) write_gathered_indexes();
    else rebuild_indexes();
    indexes_stale_ = false;
    definition_stale_ = true;
  }
  if (definition_stale_) write_definition();
  pager_.flush();
}

void jet_table_writer::mark_owned(uint32_t owned_map, uint32_t free_map, uint32_t page) {
  // A map pointer of 0 is no map (Access leaves some long-value columns
  // without a free-page map); row 0 of page 0 is the file's header.
  auto mark = [&](uint32_t map) { return map == 0 || jet_usage_map_mark(pager_, map, page, true); };
  if (!mark(owned_map) || !mark(free_map))
    throw jet_error(jet_dao_error::invalid_argument, "The table's page map cannot take more pages yet.");
}

uint32_t jet_table_writer::add_lval_row(const jet_column& column, const std::vector<uint8_t>& row) {
  const jet_column_map* map = nullptr;
  for (const jet_column_map& candidate : def_.column_maps)
    if (candidate.column_number == column.number) map = &candidate;
  if (lval_page_ != 0) {
    int number = jet_page_add_row(format_, pager_.page_for_update(lval_page_), row, lval_fill_);
    if (number >= 0) return jet_row_pointer(lval_page_, uint32_t(number));
  }
  std::vector<uint8_t> page = jet_new_data_page(format_, jet_const::lval_owner_tag);
  jet_page_fill fill;
  int number = jet_page_add_row(format_, page, row, fill);
  if (number < 0) throw jet_error(3047, "Record is too large.");
  lval_page_ = jet_append_page(pager_, page);
  lval_fill_ = fill;
  if (map) mark_owned(map->owned_pages, map->free_pages, lval_page_);
  return jet_row_pointer(lval_page_, uint32_t(number));
}

void jet_table_writer::place_long_value(const jet_column& column, const std::vector<uint8_t>& bytes,
                                        std::vector<uint8_t>& reference) {
  const uint32_t length = uint32_t(bytes.size());
  if (bytes.size() > jet_const::lv_length_mask) throw jet_error(3047, "Record is too large.");
  if (length <= jet_inline_long_value_limit) {
    jet_lv_reference(jet_lv_place::inline_data, length, 0, bytes.data(), length, reference);
    return;
  }
  const uint32_t max_row_size = format_.max_row_size();
  if (length <= max_row_size) {
    jet_lv_reference(jet_lv_place::single_row, length, add_lval_row(column, bytes), nullptr, 0, reference);
    return;
  }
  // A chain: each part carries the pointer to the next, so the last is written first.
  const uint32_t part_size = max_row_size - jet_const::lv_chain_link_size;
  const uint32_t parts = (length + part_size - 1) / part_size;
  uint32_t next = 0;
  for (uint32_t i = parts; i-- > 0;) {
    const uint32_t from = i * part_size;
    const uint32_t part = std::min(length - from, part_size);
    chain_part_.resize(jet_const::lv_chain_link_size + size_t(part));
    jet_put_u32(chain_part_.data(), next);
    std::memcpy(chain_part_.data() + jet_const::lv_chain_link_size, bytes.data() + from, part);
    next = add_lval_row(column, chain_part_);
  }
  jet_lv_reference(jet_lv_place::chain, length, next, nullptr, 0, reference);
}

uint32_t jet_table_writer::append(const std::vector<jet_value>& values) {
  if (values.size() != def_.columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "Row does not match its table.");
  uint32_t auto_number = def_.next_auto_number;
  std::vector<jet_cell>& cells = cells_;
  cells.resize(values.size());
  std::vector<uint8_t>& row = row_;
  // AutoNumbers are filled in column order, counting on from the table's.
  auto next_number = [&] {
    jet_value number;
    number.is_null = false;
    number.integer = ++auto_number;
    return number;
  };
  if (direct_fixed_) {
    // Variable values as cells, then the row around them, then the fixed
    // values and the mask straight into it.
    for (size_t i = 0; i < values.size(); ++i) {
      const jet_column& column = def_.columns[i];
      if (column.is_fixed() || column.type == jet_type::boolean) continue;
      const jet_value& value = values[i];
      if (jet_type::is_long_value(column.type)) {
        cells[i].present = !value.is_null;
        cells[i].bytes.clear();
        if (!value.is_null) place_long_value(column, jet_long_value_bytes(format_, column, value, long_bytes_), cells[i].bytes);
      } else {
        jet_value_cell(format_, column, value, cells[i]);
      }
    }
    jet_frame_row(layout_, cells, row);
    uint8_t* fixed = row.data() + layout_.count_size;
    uint8_t* mask = row.data() + row.size() - layout_.mask_size;
    for (size_t i = 0; i < values.size(); ++i) {
      const jet_column& column = def_.columns[i];
      const jet_value& value = values[i];
      bool present;
      if (column.type == jet_type::boolean) {
        present = !value.is_null && value.integer != 0;
      } else if (!column.is_fixed()) {
        present = cells[i].present;
      } else if (column.is_auto_long() && value.is_null) {
        put_plain_fixed(fixed + column.fixed_offset, column.type, next_number());
        present = true;
      } else {
        present = !value.is_null;
        if (present) put_plain_fixed(fixed + column.fixed_offset, column.type, value);
      }
      if (present) mask[column.number / 8] |= uint8_t(1u << (column.number % 8));
    }
  } else {
    for (size_t i = 0; i < values.size(); ++i) {
      const jet_column& column = def_.columns[i];
      const jet_value& value = values[i];
      if (column.is_auto_long() && value.is_null) {
        jet_value number = next_number();
        number.type = column.type;
        jet_value_cell(format_, column, number, cells[i]);
      } else if (jet_type::is_long_value(column.type)) {
        cells[i].present = !value.is_null;
        cells[i].bytes.clear();
        if (!value.is_null) place_long_value(column, jet_long_value_bytes(format_, column, value, long_bytes_), cells[i].bytes);
      } else {
        jet_value_cell(format_, column, value, cells[i]);
      }
    }
    jet_join_row(def_, layout_, cells, row);
  }
  if (row.size() > format_.max_row_size()) throw jet_error(3047, "Record is too large.");

  // Keys first: a row that breaks a unique index is not written.
  // The row is copied only when an AutoNumber was filled in.
  std::vector<jet_value> filled;
  if (auto_number != def_.next_auto_number) {
    filled = values;
    uint32_t number = def_.next_auto_number;
    for (size_t i = 0; i < values.size(); ++i)
      if (def_.columns[i].is_auto_long() && values[i].is_null) {
        filled[i].is_null = false;
        filled[i].integer = int32_t(++number);
      }
  }
  const std::vector<jet_value>& keyed = filled.empty() ? values : filled;
  std::vector<std::vector<uint8_t>>& keys = keys_;
  keys.resize(def_.real_indexes.size());
  null_keys_.resize(def_.real_indexes.size());
  for (size_t i = 0; i < def_.real_indexes.size(); ++i) {
    bool all_null;
    if (!index_key(def_.real_indexes[i], keyed, keys[i], all_null))
      throw jet_error(jet_dao_error::invalid_argument, "This value cannot be indexed yet.");
    null_keys_[i] = all_null;
    if (!all_null && is_unique(def_.real_indexes[i]) && duplicate_key(i, keys[i]))
      throw jet_error(3022, "The changes you requested to the table were not successful because they would "
                            "create duplicate values in the index, primary key, or relationship.");
  }

  int number = -1;
  if (data_page_ == 0) {
    // Start from the last page the table owns, if it is one of its data pages.
    std::vector<uint32_t> owned = jet_read_usage_map(pager_, def_.owned_pages);
    for (auto it = owned.rbegin(); it != owned.rend() && data_page_ == 0; ++it) {
      std::vector<uint8_t> page = pager_.read_page(*it);
      jet_view view(page, pager_.path());
      if (view.u8(0) == jet_const::page_data && view.u32(jet_const::data_owner_offset) == def_.page) data_page_ = *it;
    }
  }
  uint32_t page_number = data_page_;
  if (page_number != 0) {
    // The row goes into the pager's copy of the page: no copy of the page per row.
    number = jet_page_add_row(format_, pager_.page_for_update(page_number), row, data_fill_);
  }
  bool new_page = number < 0;
  if (new_page) {
    std::vector<uint8_t> page = jet_new_data_page(format_, def_.page);
    jet_page_fill fill;
    number = jet_page_add_row(format_, page, row, fill);
    page_number = jet_append_page(pager_, page);
    mark_owned(def_.owned_pages, def_.free_pages, page_number);
    data_page_ = page_number;
    data_fill_ = fill;
  }
  uint32_t pointer = jet_row_pointer(page_number, uint32_t(number));
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!null_keys_[i] && is_unique(def_.real_indexes[i])) {
      if (key_sets_filled_) unique_keys_[i].insert(jet_key_set::hash(key_bytes(keys[i])), pointer);
      note_top_key(i, keys[i]);
    }
    gather_entry(i, keys[i], null_keys_[i], pointer);
  }
  if (!def_.real_indexes.empty()) indexes_stale_ = true;
  def_.row_count += 1;
  def_.next_auto_number = auto_number;
  definition_stale_ = true;
  // Counters follow once a page: they lag the rows by at most one page's rows.
  if (new_page) write_counters();
  return pointer;
}

void jet_table_writer::remove(uint32_t row_pointer) {
  uint32_t page_number = jet_row_page(row_pointer);
  std::vector<uint8_t> page = pager_.read_page(page_number);
  jet_view view(page, pager_.path());
  if (view.u8(0) != jet_const::page_data || view.u32(jet_const::data_owner_offset) != def_.page)
    throw jet_error(jet_dao_error::invalid_argument, "No current record.");
  jet_row_slot slot = jet_locate_row(format_, view, jet_row_number(row_pointer));
  if (slot.deleted) throw jet_error(jet_dao_error::invalid_argument, "No current record.");
  size_t at = format_.data_page.row_table + 2 * jet_row_number(row_pointer);
  uint16_t offset = uint16_t(page[at] | page[at + 1] << 8);
  if (slot.overflow) {
    // The row lives elsewhere: its own slot goes too.
    uint32_t target = view.sub(slot.start, slot.length).u32(0);
    std::vector<uint8_t> moved = pager_.read_page(jet_row_page(target));
    size_t moved_at = format_.data_page.row_table + 2 * jet_row_number(target);
    if (moved_at + 1 >= moved.size()) throw jet_corrupt(pager_.path(), "overflow pointer outside its page");
    moved[moved_at + 1] |= uint8_t((jet_const::row_deleted_flag | jet_const::row_overflow_flag) >> 8);
    pager_.write_page(jet_row_page(target), moved);
  }
  jet_put_u16(&page[at], uint16_t(offset | jet_const::row_deleted_flag | jet_const::row_overflow_flag));
  pager_.write_page(page_number, page);
  if (def_.row_count > 0) def_.row_count -= 1;
  data_fill_ = jet_page_fill();
  lval_fill_ = jet_page_fill();
  // The removed row's keys may be used again: the keys are gathered anew,
  // and the indexes written from the rows.
  drop_gathered_entries();
  collect_unique_keys();
  if (!def_.real_indexes.empty()) indexes_stale_ = true;
  save_definition();
}

void jet_table_writer::write_definition() {
  std::vector<std::vector<uint8_t>> pages = jet_tdef_pages(format_, jet_encode_tdef(def_), def_.chain);
  for (size_t i = 0; i < pages.size(); ++i) pager_.write_page(def_.chain[i], pages[i]);
  definition_stale_ = false;
  definition_written_ = true;
}

void jet_table_writer::write_counters() {
  // Once the whole definition is written, appends change only the counters
  // on its first page: they are set there, not the definition encoded anew.
  if (!definition_written_) return write_definition();
  std::vector<uint8_t>& page = pager_.page_for_update(def_.page);
  jet_put_u32(&page[format_.tdef.row_count], def_.row_count);
  jet_put_u32(&page[format_.tdef.next_auto], def_.next_auto_number);
  definition_stale_ = false;
}

void jet_table_writer::save_definition() {
  write_definition();
  pager_.flush();
}
