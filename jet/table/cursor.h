#pragma once
// Forward reading of a table's rows: the data pages its usage map owns, in
// page order, and each live row on them in row order. The pager and the
// definition must outlive the cursor.
#include <cstdint>
#include <vector>

#include "jet/format/value.h"
#include "jet/table/definition.h"

class jet_pager;

class jet_table_cursor {
 public:
  jet_table_cursor(const jet_pager& pager, const jet_table_def& def);

  // Fills `values` with the next row; false after the last.
  bool next(std::vector<jet_value>& values);
  // The next row's stored bytes, an overflow pointer already followed.
  bool next_stored(std::vector<uint8_t>& row);
  // Row pointer (page << 8 | row) of the row last returned.
  uint32_t position() const { return position_; }

 private:
  bool load_page();

  const jet_pager& pager_;
  const jet_table_def& def_;
  std::vector<uint32_t> pages_;
  size_t page_index_ = 0;
  std::vector<uint8_t> page_;   // the current data page, empty before the first
  uint32_t row_ = 0;
  uint32_t row_count_ = 0;
  uint32_t position_ = 0;
  std::vector<uint8_t> stored_;  // the row last read
};
