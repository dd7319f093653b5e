// Values written by us against the values Access wrote: every non-long cell
// of the samples, read as a value and written again, gives Access's bytes
// (text included, compressed exactly where Access compressed it).
#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/table/cursor.h"
#include "jet/table/long_value.h"
#include "jet/table/value_cell.h"
#include "sample_files.h"

TEST(jet_values, every_sample_cell_is_written_again_as_access_wrote_it) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0, long_values = 0, failures = 0;
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry* table : db.tables()) {
      if (!table->is_local_table()) continue;
      jet_table_def def = db.table_def(*table);
      jet_table_cursor cursor(db.pager(), def);
      std::vector<uint8_t> stored;
      while (cursor.next_stored(stored)) {
        std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, file));
        for (size_t i = 0; i < cells.size(); ++i) {
          const jet_column& column = def.columns[i];
          if (!jet_type::fixed_size(column.type) && column.type != jet_type::text &&
              column.type != jet_type::binary && !jet_type::is_long_value(column.type) &&
              column.type != jet_type::boolean)
            continue;  // types we do not know
          jet_value value = jet_cell_value(db.pager(), column, cells[i]);
          if (jet_type::is_long_value(column.type)) {
            if (value.is_null) continue;
            // The long value's bytes, not its reference, are what we compare.
            std::vector<uint8_t> theirs = jet_read_long_value(db.pager(), jet_view(cells[i].bytes, file));
            // Some sample files (not all of them made by Access) hold compressed
            // Memo text in columns without the compression flag; we write what
            // the flag says, so only the text can be compared there.
            bool compressed = theirs.size() >= 2 && theirs[0] == 0xff && theirs[1] == 0xfe;
            if (column.type == jet_type::memo && compressed && !column.is_compressed()) continue;
            if (jet_long_value_bytes(db.format(), column, value) != theirs && ++failures <= 5)
              ADD_FAILURE() << file << " " << jet_hex(theirs).substr(0, 80);
            ++long_values;
            continue;
          }
          jet_cell ours = jet_value_cell(db.format(), column, value);
          ++compared;
          if ((ours.present != cells[i].present || ours.bytes != cells[i].bytes) && ++failures <= 5)
            ADD_FAILURE() << file << " column " << jet_hex({column.type}) << ": ours " << jet_hex(ours.bytes)
                          << " Access " << jet_hex(cells[i].bytes);
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(compared, 5000);
  EXPECT_GT(long_values, 50);
}

TEST(jet_values, values_too_long_for_their_column_are_refused_with_3163) {
  jet_column text;
  text.type = jet_type::text;
  text.length = 10;  // five characters
  jet_value value = jet_value::null(jet_type::text);
  value.is_null = false;
  value.text = u"12345";
  EXPECT_NO_THROW(jet_value_cell(jet_format_jet4(), text, value));
  value.text = u"123456";
  try {
    jet_value_cell(jet_format_jet4(), text, value);
    ADD_FAILURE() << "six characters accepted in a five-character column";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3163);
  }
  jet_column binary;
  binary.type = jet_type::binary;
  binary.length = 2;
  jet_value bytes = jet_value::null(jet_type::binary);
  bytes.is_null = false;
  bytes.bytes = {1, 2, 3};
  EXPECT_THROW(jet_value_cell(jet_format_jet4(), binary, bytes), jet_error);
}
