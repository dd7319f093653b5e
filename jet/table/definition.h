#pragma once
// Table definitions: the columns, physical ("real") and logical indexes and
// usage-map pointers held on a chain of TDEF pages.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/format.h"

class jet_pager;

struct jet_column {
  std::u16string name;
  uint8_t type = 0;
  uint16_t number = 0;        // counts deleted columns; a row's null-mask bit
  uint16_t var_index = 0;     // slot in the row's variable-offset table
  uint16_t index = 0;
  uint16_t fixed_offset = 0;  // from the start of the row's fixed area
  uint16_t length = 0;        // bytes; 0 for long values
  uint8_t flags = 0;
  uint8_t ext_flags = 0;
  uint16_t sort_order = 0;    // text: LCID of the sort order
  uint8_t sort_version = 0;   // text (Jet 4): version of that sort order
  uint16_t code_page = 0;     // text (Jet 3): the code page
  uint8_t precision = 0;      // numeric
  uint8_t scale = 0;
  uint16_t stored_position = 0;  // place of the descriptor in the definition
  // The descriptor as read (unknown bytes are kept); the version's size of it counts.
  std::array<uint8_t, 25> raw{};

  // Inline: every value of every row asks.
  bool is_fixed() const { return flags & jet_const::col_flag_fixed; }
  bool is_nullable() const { return flags & jet_const::col_flag_nullable; }
  bool is_auto_long() const { return flags & jet_const::col_flag_auto_long; }
  bool is_compressed() const { return ext_flags & jet_const::col_ext_flag_compressed; }
};

struct jet_index_column {
  uint16_t column_number = 0;
  bool ascending = true;
};

struct jet_real_index {
  std::vector<jet_index_column> columns;  // at most 10
  uint32_t row_count = 0;    // distinct keys in the index
  uint32_t used_pages = 0;   // row pointer to the index's usage map
  uint32_t first_page = 0;   // root page of the index tree
  uint8_t flags = 0;         // unique, ignore nulls, required
  // As read, unknown bytes kept; the version's size of each counts.
  std::array<uint8_t, 12> raw_counter{};
  std::array<uint8_t, 52> raw{};
};

struct jet_logical_index {
  std::u16string name;
  uint32_t number = 0;
  uint32_t real_index = 0;   // which physical index carries the entries
  uint8_t type = 0;          // 1 primary key, 2 foreign key
  uint8_t rel_table_type = 0;
  uint32_t rel_index = 0xffffffff;
  uint32_t rel_table_page = 0;
  uint8_t update_flags = 0;  // referential actions; bit meanings unverified
  uint8_t delete_flags = 0;
  std::array<uint8_t, 28> raw{};  // as read; the version's size of it counts
};

// Usage maps of one long-value column.
struct jet_column_map {
  uint16_t column_number = 0;
  uint32_t owned_pages = 0;
  uint32_t free_pages = 0;
};

struct jet_table_def {
  const jet_format* format = nullptr;  // of the file the definition belongs to
  uint32_t page = 0;                 // first TDEF page
  std::vector<uint32_t> chain;       // every TDEF page, first one first
  uint32_t row_count = 0;
  uint32_t next_auto_number = 0;    // the last AutoNumber given; the next row gets one more
  uint8_t auto_flag = 0;
  uint8_t table_type = 0;            // 0x4e user, 0x53 system
  uint16_t max_columns = 0;
  uint16_t var_column_count = 0;
  uint32_t owned_pages = 0;          // row pointer to the table's usage map
  uint32_t free_pages = 0;
  std::vector<jet_column> columns;   // by column number, the order of the fields
  std::vector<jet_real_index> real_indexes;
  std::vector<jet_logical_index> indexes;
  std::vector<jet_column_map> column_maps;
  std::array<uint8_t, 0x3f> raw_head{};  // page head and fixed block as read (the version's size)

  const jet_column* find_column(const std::u16string& name) const;
  const jet_column* column_by_number(uint16_t number) const;
};

// Reads the definition starting at `page`; a wrong page type, a loop in the
// chain or any count or offset outside the pages raises 3049.
jet_table_def jet_read_tdef(const jet_pager& pager, uint32_t page);
