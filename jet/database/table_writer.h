#pragma once
// Appending rows to a table of a database open for update: values become
// cells, long values go to LVAL pages, rows go to the table's data pages
// (a new page when none has room), and the definition's counters follow:
// they are written when a data page is started and by close(). Unique
// indexes are enforced as rows arrive; a key above every key the index
// holds needs no lookup. Every index of the table is written anew by
// close(), from the entries gathered as the rows arrived (sorted in bounded
// memory, not at all when they came in order), or after a removal from the
// table's rows.
// Pages reach the file through the pager's cache: all changed pages together
// whenever the cache is full, and at save_definition() and close(). A crash
// before close() therefore leaves the file as it was at the last such
// write-back: the rows appended since are lost, the counters may lag the
// rows on disk by up to a page of rows (row count and next AutoNumber), and
// the indexes are as they were when the writer opened. A crash during a
// write-back may leave any part of it unwritten.
// The database must outlive the writer.
#include <cstdint>
#include <memory>
#include <vector>

#include "jet/database/database.h"
#include "jet/file/page_writer.h"
#include "jet/format/value.h"
#include "jet/index/entry_sorter.h"
#include "jet/index/key_set.h"
#include "jet/table/definition.h"
#include "jet/table/row.h"

class jet_table_writer {
 public:
  // Raises 3051 for a read-only database, and 3001 for a table whose index
  // keys the engine cannot encode yet (rows added without their index
  // entries would leave the file inconsistent).
  jet_table_writer(jet_database& db, const jet_catalog_entry& table);
  // Closes when close() was not called; an error then is lost, so callers close.
  ~jet_table_writer();
  jet_table_writer(const jet_table_writer&) = delete;
  jet_table_writer& operator=(const jet_table_writer&) = delete;

  const jet_table_def& def() const { return def_; }

  // Adds one row; `values` follow def().columns. A null AutoNumber column
  // gets the next number. Returns the new row's pointer. Raises 3047 when
  // the row cannot fit a page, 3163 when a value is too long.
  uint32_t append(const std::vector<jet_value>& values);

  // Deletes the row a pointer names (from jet_table_cursor::position): its
  // slot is flagged deleted, its long values stay until the file is compacted.
  void remove(uint32_t row_pointer);

  // Writes the definition's counters back, and every changed page to the file
  // (3026/3043 when the disk refuses, 3001 at the file-size limit).
  void save_definition();
  // Rebuilds the indexes after rows were added, writes the definition's
  // counters and every changed page; the file is consistent afterwards.
  // Rows may still be added. 3026/3043 when the disk refuses.
  void close();

 private:
  // The key of `values` for one physical index; false when it cannot be encoded.
  bool index_key(const jet_real_index& index, const std::vector<jet_value>& values, std::vector<uint8_t>& key,
                 bool& all_null) const;
  class index_rebuild;
  void rebuild_indexes();
  // Writes each index from the entries gathered since the writer opened.
  void write_gathered_indexes();
  // Fills unique_keys_ from the table's rows.
  void collect_unique_keys();
  // Reads the rows the table holds when the writer opens: their largest
  // keys, and their entries into the sorters.
  void scan_existing_rows();
  // Stops gathering entries: close() then reads the rows instead.
  void drop_gathered_entries();
  // Adds one row's entry of index `i` to its sorter.
  void gather_entry(size_t i, const std::vector<uint8_t>& key, bool all_null, uint32_t row_pointer);
  void note_top_key(size_t i, const std::vector<uint8_t>& key);
  // True when `key` of unique index `i` is already held (a key above all
  // others never is).
  bool duplicate_key(size_t i, const std::vector<uint8_t>& key);
  // True when a stored row already holds `key` in unique index `i`.
  bool key_taken(size_t i, const std::vector<uint8_t>& key) const;
  std::vector<jet_value> row_at(uint32_t row_pointer) const;

  // Stores a long value's bytes and sets `reference` to the 12-byte reference
  // the row holds (with the bytes themselves when they are short).
  void place_long_value(const jet_column& column, const std::vector<uint8_t>& bytes,
                        std::vector<uint8_t>& reference);
  uint32_t add_lval_row(const jet_column& column, const std::vector<uint8_t>& row);
  // Writes the definition into its pages (through the cache).
  void write_definition();
  // Writes the counters alone when the rest is as write_definition() left it.
  void write_counters();
  void mark_owned(uint32_t owned_map, uint32_t free_map, uint32_t page);

  jet_database& db_;
  jet_pager& pager_;
  const jet_format& format_;
  jet_table_def def_;
  uint32_t data_page_ = 0;  // the page rows go to, 0 before the first
  uint32_t lval_page_ = 0;  // the LVAL page long values go to
  // What this writer's own adds left on those two pages.
  jet_page_fill data_fill_;
  jet_page_fill lval_fill_;
  std::vector<jet_key_set> unique_keys_;  // per physical index; empty unless unique
  // False while keys came in ascending order and unique_keys_ was left
  // unfilled; the table's rows fill it when a key comes out of order.
  bool key_sets_filled_ = false;
  // Per physical index: its largest key, and whether it holds any.
  std::vector<std::vector<uint8_t>> top_keys_;
  std::vector<bool> has_top_key_;
  // Per physical index, the entries of every row while gathered_ holds.
  std::vector<std::unique_ptr<jet_entry_sorter>> entries_;
  bool gathered_ = false;
  // How new rows are laid out, worked out once. Fixed values of the plain
  // numeric types are written straight into the row; when every fixed
  // column is such a one (or a Yes/No), no row needs their cells.
  jet_row_layout layout_;
  bool direct_fixed_ = false;
  // Buffers append() uses again for every row.
  std::vector<jet_cell> cells_;
  std::vector<uint8_t> row_;
  std::vector<uint8_t> long_bytes_;  // a Memo's stored text
  std::vector<uint8_t> chain_part_;  // one row of a long value's chain
  std::vector<std::vector<uint8_t>> keys_;
  std::vector<uint8_t> null_keys_;  // per index: the row's key is all Nulls
  bool indexes_stale_ = false;
  bool definition_stale_ = false;
  // write_definition() has run, and only the counters changed since: a
  // definition changes otherwise only where it is then written whole.
  bool definition_written_ = false;
};

// Long values up to this many bytes stay in the row.
constexpr uint32_t jet_inline_long_value_limit = 64;
