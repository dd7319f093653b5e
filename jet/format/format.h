#pragma once
// What differs between the versions of the file format, as data. Every
// reader and writer asks the file's jet_format for page sizes, offsets and
// record sizes instead of branching on the version; FORMAT.md explains each
// number. A file's format is chosen once, from its header, when it is opened
// (jet_format_for), and travels with its pager and its table definitions.
//
// Text is part of the format: Jet 4 stores UTF-16 (or its compressed form),
// Jet 3 one byte a character in the code page its header names, so a Jet 3
// format is made per code page.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class code_page_table;
}

struct jet_format {
  // An offset of a field the version does not have.
  static constexpr uint32_t absent = 0xffffffff;

  uint8_t version = 0;        // header byte 0x14: 0 Jet 3, 1 Jet 4
  const char* name = "";      // "Jet 3", "Jet 4"
  uint32_t page_size = 0;
  // The largest file Access opens of this version; the engine grows no file
  // past it.
  uint64_t max_file_size = 0;

  // Database definition page (page 0); offsets inside the unmasked page.
  struct {
    uint32_t mask_length;       // bytes of the RC4-masked block from 0x18
    uint32_t sort_order;        // u16 LCID of the text sort order
    uint32_t sort_version;      // u16, the sort order's version
    uint32_t password_length;   // bytes of the password area at 0x42
    uint32_t create_date;       // OLE date, or absent
  } header;

  // Data pages: the rows' count and their offset table.
  struct {
    uint32_t row_count;
    uint32_t row_table;
  } data_page;

  // Table definitions, offsets into the joined definition.
  struct {
    bool has_free_space;         // u16 at 0x02 of each page (Jet 3 writes "VC" there)
    uint32_t row_count;
    uint32_t next_auto;          // u32, the last AutoNumber given
    uint32_t auto_flag;          // u8, or absent
    uint32_t table_type;         // u8 0x4e user, 0x53 system
    uint32_t max_columns;        // u16
    uint32_t var_columns;        // u16
    uint32_t columns;            // u16
    uint32_t indexes;            // u32 logical indexes
    uint32_t real_indexes;       // u32 physical indexes
    uint32_t owned_pages;        // u32 row pointer to a usage map
    uint32_t free_pages;         // u32 row pointer to a usage map
    uint32_t block_end;          // the physical indexes' counters follow
    uint32_t real_index_counter_size;  // per physical index; its key count at +4
  } tdef;

  // One column descriptor.
  struct {
    uint32_t size;
    uint32_t type;          // u8
    uint32_t number;        // u16, counts deleted columns
    uint32_t var_index;     // u16, slot in the variable-offset table
    uint32_t index;         // u16
    uint32_t sort_order;    // u16: text sort order LCID
    uint32_t precision;     // u8 numeric precision, then u8 scale
    uint32_t sort_version;  // u8: the sort order's version (Jet 4: of text columns; Jet 3: of every column)
    uint32_t code_page;     // u16: text code page, or absent
    uint32_t flags;         // u8
    uint32_t ext_flags;     // u8, or absent
    uint32_t fixed_offset;  // u16 from the start of the fixed area
    uint32_t length;        // u16 bytes
  } column;

  // Column, index and property names: a length of this many bytes, then the text.
  uint32_t name_length_size = 0;
  // Column descriptors are stored in the order of the columns' names (Jet 4)
  // or of their numbers (Jet 3).
  bool columns_in_name_order = false;

  // One physical index: ten (u16 column, u8 order) pairs and its pages.
  struct {
    uint32_t size;
    uint32_t columns;
    uint32_t used_pages;
    uint32_t first_page;
    uint32_t flags;
    uint8_t flags_set;  // bits set in the flags of every index (Jet 4: 0x80)
  } real_index;

  // One logical index.
  struct {
    uint32_t size;
    uint32_t number;
    uint32_t real_index;
    uint32_t rel_table_type;
    uint32_t rel_index;
    uint32_t rel_table;
    uint32_t cascade_update;
    uint32_t cascade_delete;
    uint32_t type;
  } logical_index;

  // Rows: the column count and each variable offset take this many bytes.
  // With one-byte offsets, rows longer than 256 bytes carry a jump table.
  struct {
    uint32_t column_count_size;
    uint32_t offset_size;
  } row;

  // Index pages (intermediate and leaf).
  struct {
    uint32_t prev_page;
    uint32_t next_page;
    uint32_t tail_page;
    uint32_t prefix_length;  // the length of the entries' shared prefix
    uint32_t prefix_length_size;  // its bytes: 2 in Jet 4, 1 in Jet 3
    uint32_t node_flag;      // u8: 1 on intermediate pages, 0 on leaves
    uint32_t entry_mask;     // the entry bitmap runs from here to `entries`
    uint32_t entries;
  } index_page;

  // Bytes of an inline usage map's bitmap in the map rows a new table gets.
  uint32_t inline_map_bytes = 0;

  // What Access writes into the bytes of a new definition whose meaning is
  // unknown: a value of `size` bytes at an offset of the block, of each
  // column descriptor, of each physical and each logical index (absent: none).
  struct stamp {
    uint32_t offset;
    uint32_t value;
    uint32_t size;
  };
  struct {
    stamp head;
    stamp column;
    stamp real_index;
    stamp logical_index;
  } new_definition{};

  uint32_t property_magic = 0;  // first four bytes of a property block

  // The column types the version has: bit n for type code n (Jet 3 has no Decimal).
  uint32_t column_types = 0;
  bool has_column_type(uint8_t type) const { return type < 32 && (column_types >> type & 1); }

  // Text of this file: null for Jet 4's UTF-16, else the code page's table.
  const platform::code_page_table* code_page = nullptr;
  // Every ASCII character is its own byte in that code page.
  bool code_page_keeps_ascii = false;

  // The largest row a data page holds: the page less its head and one offset.
  uint32_t max_row_size() const { return page_size - data_page.row_table - 2; }
  // Stored bytes of a text column `characters` long, and the other way.
  uint32_t text_bytes(uint32_t characters) const { return code_page ? characters : characters * 2; }
  uint32_t text_characters(uint32_t bytes) const { return code_page ? bytes : bytes / 2; }

  // Stored text to text. Jet 4 text may be in its compressed form.
  std::u16string decode_text(const uint8_t* bytes, size_t length) const;
  // Text to stored bytes, into `out` (replaced, its allocation used again);
  // compressed where the column allows it and it saves space (Jet 4). Code
  // units the code page lacks are stored as '?', as Access stores them; the
  // result counts them.
  size_t encode_text(const std::u16string& text, bool allow_compression, std::vector<uint8_t>& out) const;
  std::vector<uint8_t> encode_text(const std::u16string& text, bool allow_compression = false) const;
  // The length encode_text gives, without encoding.
  size_t encoded_text_size(const std::u16string& text, bool allow_compression) const;
};

// The formats of the two versions. A Jet 3 format holds the code page's
// table; the same code page always gives the same object.
const jet_format& jet_format_jet4();
const jet_format& jet_format_jet3(uint16_t code_page = 1252);
// The format of a header's version byte and code page; null when this
// engine does not know them.
const jet_format* jet_format_for(uint8_t version, uint16_t code_page);

// Constants every version shares.
namespace jet_const {

constexpr uint8_t version_jet3 = 0x00;
constexpr uint8_t version_jet4 = 0x01;

// Page types: the first byte of every page.
constexpr uint8_t page_db_header = 0x00;
constexpr uint8_t page_data = 0x01;
constexpr uint8_t page_tdef = 0x02;
constexpr uint8_t page_index_node = 0x03;
constexpr uint8_t page_index_leaf = 0x04;
constexpr uint8_t page_usage_map = 0x05;

// Database definition page (page 0).
constexpr uint32_t hdr_magic_offset = 0x04;        // "Standard Jet DB\0"
constexpr uint32_t hdr_version_offset = 0x14;
constexpr uint32_t hdr_mask_offset = 0x18;         // start of the RC4-masked block
constexpr uint32_t hdr_mask_key = 0x6b39dac7;      // RC4 key, little-endian bytes
constexpr uint32_t hdr_code_page_offset = 0x3c;    // u16, 1252 for Western
constexpr uint32_t hdr_db_key_offset = 0x3e;       // u32, 0 when not encoded
constexpr uint32_t hdr_password_offset = 0x42;

// Data and long-value pages.
constexpr uint32_t data_free_space_offset = 0x02;  // u16
constexpr uint32_t data_owner_offset = 0x04;       // u32 tdef page, or "LVAL"
constexpr uint16_t row_deleted_flag = 0x8000;
constexpr uint16_t row_overflow_flag = 0x4000;     // the row holds a 4-byte pointer
constexpr uint16_t row_offset_mask = 0x1fff;
constexpr uint32_t lval_owner_tag = 0x4c41564c;    // "LVAL" read little-endian

// Table definition pages.
constexpr uint32_t tdef_free_space_offset = 0x02;  // u16 (Jet 4)
constexpr uint32_t tdef_next_page_offset = 0x04;   // u32, 0 on the last page
constexpr uint32_t tdef_header_size = 0x08;        // skipped on continuation pages
constexpr uint32_t tdef_length_offset = 0x08;      // u32, bytes of the definition

constexpr uint8_t table_type_user = 0x4e;
constexpr uint8_t table_type_system = 0x53;

constexpr uint8_t col_flag_fixed = 0x01;
constexpr uint8_t col_flag_nullable = 0x02;
constexpr uint8_t col_flag_auto_long = 0x04;
constexpr uint8_t col_flag_replication = 0x10;
constexpr uint8_t col_flag_auto_guid = 0x40;
constexpr uint8_t col_flag_hyperlink = 0x80;
constexpr uint8_t col_ext_flag_compressed = 0x01;  // text may use the compressed form (Jet 4)

constexpr uint32_t real_index_key_columns = 10;    // (u16 column, u8 order) each
constexpr uint16_t index_no_column = 0xffff;
constexpr uint8_t index_order_ascending = 0x01;
constexpr uint8_t index_flag_unique = 0x01;
constexpr uint8_t index_flag_ignore_nulls = 0x02;
constexpr uint8_t index_flag_required = 0x08;
constexpr uint8_t index_type_primary = 0x01;
constexpr uint8_t index_type_foreign = 0x02;

constexpr uint32_t column_map_entry_size = 10;     // u16 column, u32 owned, u32 free

// Long values: a 12-byte reference in the row.
constexpr uint32_t lv_ref_size = 12;
constexpr uint32_t lv_length_mask = 0x3fffffff;
constexpr uint32_t lv_flag_inline = 0x80000000;
constexpr uint32_t lv_flag_single_page = 0x40000000;
constexpr uint32_t lv_chain_link_size = 4;         // next-row pointer of a chained part

// Jet 4's compressed text starts with this mark; 0x00 then toggles the mode.
constexpr uint8_t text_compressed_mark0 = 0xff;
constexpr uint8_t text_compressed_mark1 = 0xfe;

// Usage maps, stored as rows.
constexpr uint8_t usage_map_inline = 0x00;         // u8 type, u32 first page, bitmap
constexpr uint8_t usage_map_reference = 0x01;      // u8 type, u32 map pages ...
constexpr uint32_t usage_map_page_header = 4;      // type 0x05 pages: bitmap from here

// Property blocks: chunks of names, of the object's and of each column's values.
constexpr uint16_t prop_chunk_names = 0x0080;
constexpr uint16_t prop_chunk_object = 0x0000;
constexpr uint16_t prop_chunk_column = 0x0001;

// Catalog.
constexpr uint32_t catalog_tdef_page = 2;          // MSysObjects
constexpr uint32_t global_usage_map_page = 1;      // row 0 of page 1
constexpr uint32_t object_id_page_mask = 0x00ffffff;

}  // namespace jet_const
