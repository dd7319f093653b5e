#pragma once
// On-disk constants of Jet 4 files (Access 2000/2002/2003). Every reader and
// writer of the engine takes its offsets from here; FORMAT.md explains them.
#include <cstdint>

namespace jet4 {

constexpr uint32_t page_size = 4096;

// Page types: the first byte of every page.
constexpr uint8_t page_db_header = 0x00;
constexpr uint8_t page_data = 0x01;
constexpr uint8_t page_tdef = 0x02;
constexpr uint8_t page_index_node = 0x03;
constexpr uint8_t page_index_leaf = 0x04;
constexpr uint8_t page_usage_map = 0x05;

// Database definition page (page 0).
constexpr uint32_t hdr_magic_offset = 0x04;        // "Standard Jet DB\0"
constexpr uint32_t hdr_version_offset = 0x14;      // 0 Jet 3, 1 Jet 4, 2+ ACE
constexpr uint8_t hdr_version_jet3 = 0x00;
constexpr uint8_t hdr_version_jet4 = 0x01;
constexpr uint32_t hdr_mask_offset = 0x18;         // start of the RC4-masked block
constexpr uint32_t hdr_mask_length = 128;
constexpr uint32_t hdr_mask_key = 0x6b39dac7;      // RC4 key, little-endian bytes
constexpr uint32_t hdr_code_page_offset = 0x3c;    // u16, 1252 for Western
constexpr uint32_t hdr_db_key_offset = 0x3e;       // u32, 0 when not encoded
constexpr uint32_t hdr_password_offset = 0x42;     // 40 bytes, masked again by the date
constexpr uint32_t hdr_password_length = 40;
constexpr uint32_t hdr_sort_order_offset = 0x6e;   // u16 LCID (0x409 General) + u16 version
constexpr uint32_t hdr_create_date_offset = 0x72;  // OLE date (double)

// Data and long-value pages.
constexpr uint32_t data_free_space_offset = 0x02;  // u16
constexpr uint32_t data_owner_offset = 0x04;       // u32 tdef page, or "LVAL"
constexpr uint32_t data_row_count_offset = 0x0c;   // u16
constexpr uint32_t data_row_table_offset = 0x0e;   // u16 per row
constexpr uint16_t row_deleted_flag = 0x8000;
constexpr uint16_t row_overflow_flag = 0x4000;     // the row holds a 4-byte pointer
constexpr uint16_t row_offset_mask = 0x1fff;
constexpr uint32_t lval_owner_tag = 0x4c41564c;    // "LVAL" read little-endian

// Table definition pages.
constexpr uint32_t tdef_free_space_offset = 0x02;  // u16
constexpr uint32_t tdef_next_page_offset = 0x04;   // u32, 0 on the last page
constexpr uint32_t tdef_header_size = 0x08;        // skipped on continuation pages
constexpr uint32_t tdef_length_offset = 0x08;      // u32, bytes of the definition
constexpr uint32_t tdef_row_count_offset = 0x10;   // u32
constexpr uint32_t tdef_next_auto_offset = 0x14;   // u32 last AutoNumber value given
constexpr uint32_t tdef_auto_flag_offset = 0x18;   // u8
constexpr uint32_t tdef_table_type_offset = 0x28;  // u8 0x4e user, 0x53 system
constexpr uint32_t tdef_max_cols_offset = 0x29;    // u16
constexpr uint32_t tdef_var_cols_offset = 0x2b;    // u16
constexpr uint32_t tdef_col_count_offset = 0x2d;   // u16
constexpr uint32_t tdef_index_count_offset = 0x2f; // u32 logical indexes
constexpr uint32_t tdef_real_index_count_offset = 0x33;  // u32
constexpr uint32_t tdef_owned_pages_offset = 0x37; // u32 row pointer to a usage map
constexpr uint32_t tdef_free_pages_offset = 0x3b;  // u32 row pointer to a usage map
constexpr uint32_t tdef_block_end = 0x3f;          // real-index counters follow

constexpr uint8_t table_type_user = 0x4e;
constexpr uint8_t table_type_system = 0x53;

constexpr uint32_t real_index_counter_size = 12;   // u32 ?, u32 rows, u32 ?
constexpr uint32_t column_entry_size = 25;
constexpr uint32_t col_type_offset = 0;
constexpr uint32_t col_number_offset = 5;          // u16, counts deleted columns
constexpr uint32_t col_var_index_offset = 7;       // u16 slot in the variable table
constexpr uint32_t col_index_offset = 9;           // u16
constexpr uint32_t col_misc_offset = 11;           // u16 sort order or precision/scale
constexpr uint32_t col_misc_ext_offset = 13;       // u16, high byte sort version
constexpr uint32_t col_flags_offset = 15;          // u8
constexpr uint32_t col_ext_flags_offset = 16;      // u8
constexpr uint32_t col_fixed_offset_offset = 21;   // u16 from the start of the fixed area
constexpr uint32_t col_length_offset = 23;         // u16

constexpr uint8_t col_flag_fixed = 0x01;
constexpr uint8_t col_flag_nullable = 0x02;
constexpr uint8_t col_flag_auto_long = 0x04;
constexpr uint8_t col_flag_replication = 0x10;
constexpr uint8_t col_flag_auto_guid = 0x40;
constexpr uint8_t col_flag_hyperlink = 0x80;
constexpr uint8_t col_ext_flag_compressed = 0x01;  // text may use the compressed form

constexpr uint32_t real_index_entry_size = 52;
constexpr uint32_t real_index_key_columns = 10;    // (u16 column, u8 order) each
constexpr uint32_t real_index_columns_offset = 4;
constexpr uint32_t real_index_used_pages_offset = 34;
constexpr uint32_t real_index_first_page_offset = 38;
constexpr uint32_t real_index_flags_offset = 46;  // after 4 bytes of no known meaning
constexpr uint16_t index_no_column = 0xffff;
constexpr uint8_t index_order_ascending = 0x01;
constexpr uint8_t index_flag_unique = 0x01;
constexpr uint8_t index_flag_ignore_nulls = 0x02;
constexpr uint8_t index_flag_required = 0x08;

constexpr uint32_t logical_index_entry_size = 28;
constexpr uint32_t logical_index_number_offset = 4;
constexpr uint32_t logical_index_real_offset = 8;
constexpr uint32_t logical_index_rel_type_offset = 12;
constexpr uint32_t logical_index_rel_index_offset = 13;
constexpr uint32_t logical_index_rel_table_offset = 17;
constexpr uint32_t logical_index_cascade_up_offset = 21;
constexpr uint32_t logical_index_cascade_del_offset = 22;
constexpr uint32_t logical_index_type_offset = 23;
constexpr uint8_t index_type_primary = 0x01;
constexpr uint8_t index_type_foreign = 0x02;

constexpr uint32_t column_map_entry_size = 10;     // u16 column, u32 owned, u32 free

// Rows (offsets from the start of the row).
constexpr uint32_t row_col_count_size = 2;
constexpr uint32_t row_var_entry_size = 2;

// Long values: a 12-byte reference in the row.
constexpr uint32_t lv_ref_size = 12;
constexpr uint32_t lv_length_mask = 0x3fffffff;
constexpr uint32_t lv_flag_inline = 0x80000000;
constexpr uint32_t lv_flag_single_page = 0x40000000;
constexpr uint32_t lv_chain_link_size = 4;         // next-row pointer of a chained part

// Compressed text starts with this mark; 0x00 then toggles the mode.
constexpr uint8_t text_compressed_mark0 = 0xff;
constexpr uint8_t text_compressed_mark1 = 0xfe;

// Usage maps, stored as rows.
constexpr uint8_t usage_map_inline = 0x00;         // u8 type, u32 first page, bitmap
constexpr uint8_t usage_map_reference = 0x01;      // u8 type, u32 map pages ...
constexpr uint32_t usage_map_page_header = 4;      // type 0x05 pages: bitmap from here

// Index pages.
constexpr uint32_t index_prev_page_offset = 0x0c;
constexpr uint32_t index_next_page_offset = 0x10;
constexpr uint32_t index_tail_page_offset = 0x14;
constexpr uint32_t index_prefix_length_offset = 0x18;  // u16
constexpr uint32_t index_entry_mask_offset = 0x1b;
constexpr uint32_t index_entries_offset = 0x1e0;

// Property blocks (LvProp) begin with "MR2\0".
constexpr uint32_t prop_magic = 0x0032524d;
constexpr uint16_t prop_chunk_names = 0x0080;
constexpr uint16_t prop_chunk_object = 0x0000;
constexpr uint16_t prop_chunk_column = 0x0001;

// Catalog.
constexpr uint32_t catalog_tdef_page = 2;          // MSysObjects
constexpr uint32_t global_usage_map_page = 1;      // row 0 of page 1
constexpr uint32_t object_id_page_mask = 0x00ffffff;

}  // namespace jet4
