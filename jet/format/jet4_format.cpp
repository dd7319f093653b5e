// The format of Jet 4 files (Access 2000/2002/2003).
#include "jet/format/format.h"

const jet_format& jet_format_jet4() {
  static const jet_format format = [] {
    jet_format f;
    f.version = jet_const::version_jet4;
    f.name = "Jet 4";
    f.page_size = 4096;
    f.max_file_size = uint64_t(1) << 31;  // 2 GB
    f.header = {.mask_length = 128, .sort_order = 0x6e, .sort_version = 0x70, .password_length = 40,
                .create_date = 0x72};
    f.data_page = {.row_count = 0x0c, .row_table = 0x0e};
    f.tdef = {.has_free_space = true, .row_count = 0x10, .next_auto = 0x14, .auto_flag = 0x18,
              .table_type = 0x28, .max_columns = 0x29, .var_columns = 0x2b, .columns = 0x2d, .indexes = 0x2f,
              .real_indexes = 0x33, .owned_pages = 0x37, .free_pages = 0x3b, .block_end = 0x3f,
              .real_index_counter_size = 12};
    f.column = {.size = 25, .type = 0, .number = 5, .var_index = 7, .index = 9, .sort_order = 11, .precision = 11,
                .sort_version = 14, .code_page = jet_format::absent,
                .flags = 15, .ext_flags = 16, .fixed_offset = 21, .length = 23};
    f.name_length_size = 2;
    f.columns_in_name_order = true;
    f.real_index = {.size = 52, .columns = 4, .used_pages = 34, .first_page = 38, .flags = 46, .flags_set = 0x80};
    f.logical_index = {.size = 28, .number = 4, .real_index = 8, .rel_table_type = 12, .rel_index = 13,
                       .rel_table = 17, .cascade_update = 21, .cascade_delete = 22, .type = 23};
    f.row = {.column_count_size = 2, .offset_size = 2};
    f.index_page = {.prev_page = 0x0c, .next_page = 0x10, .tail_page = 0x14, .prefix_length = 0x18,
                    .prefix_length_size = 2, .node_flag = 0x1a,
                    .entry_mask = 0x1b, .entries = 0x1e0};
    f.inline_map_bytes = 64;
    f.new_definition = {.head = {0x0c, 0x659, 4}, .column = {1, 0x659, 4}, .real_index = {0, 0x783, 4},
                        .logical_index = {0, 0x659, 4}};
    f.property_magic = 0x0032524d;  // "MR2\0"
    // Boolean to Memo (1-12), Replication ID and Decimal.
    f.column_types = 0x1ffe | (1u << 15) | (1u << 16);
    return f;
  }();
  return format;
}
