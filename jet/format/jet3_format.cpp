// The format of Jet 3 files (Access 95/97).
#include <map>
#include <memory>
#include <mutex>

#include "jet/format/format.h"
#include "platform/code_page_table.h"

namespace {

jet_format jet3_layout() {
  jet_format f;
  f.version = jet_const::version_jet3;
  f.name = "Jet 3";
  f.page_size = 2048;
  f.max_file_size = uint64_t(1) << 30;  // 1 GB
  f.header = {.mask_length = 126, .sort_order = 0x3a, .sort_version = 0x38, .password_length = 20,
              .create_date = jet_format::absent};
  f.data_page = {.row_count = 0x08, .row_table = 0x0a};
  f.tdef = {.has_free_space = false, .row_count = 0x0c, .next_auto = 0x10, .auto_flag = jet_format::absent,
            .table_type = 0x14, .max_columns = 0x15, .var_columns = 0x17, .columns = 0x19, .indexes = 0x1b,
            .real_indexes = 0x1f, .owned_pages = 0x23, .free_pages = 0x27, .block_end = 0x2b,
            .real_index_counter_size = 8};
  // Every descriptor repeats the header's sort version (u16 at 0x38: 1 in
  // most files, 0 in some; its high byte 0); Jet 3 has no numeric type.
  f.column = {.size = 18, .type = 0, .number = 1, .var_index = 3, .index = 5, .sort_order = 9,
              .precision = jet_format::absent, .sort_version = 7, .code_page = 11,
              .flags = 13, .ext_flags = jet_format::absent, .fixed_offset = 14, .length = 16};
  f.name_length_size = 1;
  f.real_index = {.size = 39, .columns = 0, .used_pages = 30, .first_page = 34, .flags = 38, .flags_set = 0};
  f.logical_index = {.size = 20, .number = 0, .real_index = 4, .rel_table_type = 8, .rel_index = 9,
                     .rel_table = 13, .cascade_update = 17, .cascade_delete = 18, .type = 19};
  f.row = {.column_count_size = 1, .offset_size = 1};
  f.index_page = {.prev_page = 0x08, .next_page = 0x0c, .tail_page = 0x10, .prefix_length = 0x14,
                  .prefix_length_size = 1, .node_flag = 0x15,
                  .entry_mask = 0x16, .entries = 0xf8};
  f.inline_map_bytes = 128;
  // Jet 3 definitions have no stamps.
  f.new_definition = {.head = {jet_format::absent, 0, 0}, .column = {jet_format::absent, 0, 0},
                      .real_index = {jet_format::absent, 0, 0}, .logical_index = {jet_format::absent, 0, 0}};
  f.property_magic = 0x00444b4b;  // "KKD\0"
  // Boolean to Memo (1-12) and Replication ID; Decimal came with Jet 4.
  f.column_types = 0x1ffe | (1u << 15);
  return f;
}

}  // namespace

const jet_format* jet_format_for(uint8_t version, uint16_t code_page) {
  if (version == jet_const::version_jet4) return &jet_format_jet4();
  if (version != jet_const::version_jet3) return nullptr;
  const platform::code_page_table* table = platform::code_page_table::find(code_page);
  if (!table) return nullptr;
  static std::mutex guard;
  static std::map<uint16_t, std::unique_ptr<jet_format>> formats;
  std::lock_guard<std::mutex> hold(guard);
  std::unique_ptr<jet_format>& format = formats[code_page];
  if (!format) {
    format = std::make_unique<jet_format>(jet3_layout());
    format->code_page = table;
    format->code_page_keeps_ascii = true;
    for (char16_t c = 0; c < 0x80; ++c) {
      uint8_t byte = 0;
      if (!table->from_unicode(c, byte) || byte != c) format->code_page_keeps_ascii = false;
    }
  }
  return format.get();
}

const jet_format& jet_format_jet3(uint16_t code_page) {
  const jet_format* format = jet_format_for(jet_const::version_jet3, code_page);
  return format ? *format : *jet_format_for(jet_const::version_jet3, 1252);
}
