// The format's building blocks on hand-made bytes: text forms, the header
// mask, rows, long values and usage maps, and the text forms of values.
#include <gtest/gtest.h>

#include "jet/file/pager.h"
#include "jet/file/usage_map.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/header.h"
#include "jet/format/format.h"
#include "jet/format/text.h"
#include "jet/format/value.h"
#include "jet/table/long_value.h"
#include "jet/table/row.h"
#include "platform/code_page_table.h"
#include "sample_files.h"

namespace {

int error_number(const std::function<void()>& action) {
  try {
    action();
  } catch (const jet_error& error) {
    return error.number();
  }
  return 0;
}

void put16(std::vector<uint8_t>& out, uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
void put32(std::vector<uint8_t>& out, uint32_t v) { put16(out, uint16_t(v)); put16(out, uint16_t(v >> 16)); }

// A file of empty pages whose pages the test fills, opened for writing.
class page_file {
 public:
  explicit page_file(uint32_t pages) : file_("p.mdb") {
    write_whole_file(file_.path(), std::vector<uint8_t>(size_t(pages) * jet_format_jet4().page_size, 0));
    pager_ = std::make_unique<jet_pager>(file_.path(), true);
  }
  jet_pager& pager() { return *pager_; }
  // A data page owned by `owner` holding `rows`, packed from the page end.
  void put_rows(uint32_t page, uint32_t owner, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> bytes(jet_format_jet4().page_size, 0);
    bytes[0] = jet_const::page_data;
    bytes[1] = 1;
    jet_put_u32(&bytes[jet_const::data_owner_offset], owner);
    jet_put_u16(&bytes[jet_format_jet4().data_page.row_count], uint16_t(rows.size()));
    uint32_t end = jet_format_jet4().page_size;
    for (size_t i = 0; i < rows.size(); ++i) {
      uint32_t start = end - uint32_t(rows[i].size());
      std::copy(rows[i].begin(), rows[i].end(), bytes.begin() + start);
      jet_put_u16(&bytes[jet_format_jet4().data_page.row_table + 2 * i], uint16_t(start));
      end = start;
    }
    pager_->write_page(page, bytes);
  }

 private:
  scratch_file file_;
  std::unique_ptr<jet_pager> pager_;
};

std::vector<uint8_t> lv_reference(uint32_t word, uint32_t pointer) {
  std::vector<uint8_t> ref;
  put32(ref, word);
  put32(ref, pointer);
  put32(ref, 0);
  return ref;
}

std::vector<uint8_t> bytes_of(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

TEST(jet_text, compressed_and_plain_forms_decode_and_round_trip) {
  const uint8_t compressed[] = {0xff, 0xfe, 'a', 'b', 0x00, 0xb1, 0x03, 0x00, 'c'};
  EXPECT_EQ(jet_decode_text(compressed, sizeof compressed), u"ab\u03b1c");
  const uint8_t plain[] = {'h', 0, 'i', 0, 'x'};  // odd trailing byte dropped
  EXPECT_EQ(jet_decode_text(plain, sizeof plain), u"hi");
  EXPECT_EQ(jet_decode_text(compressed, 1), u"");  // one byte: not a mark, no character

  for (const std::u16string& text : {std::u16string(u"Hello"), std::u16string(u"a\u03b1\u03b2b"),
                                     std::u16string(u"\u0100x"), std::u16string(u"")}) {
    std::vector<uint8_t> stored = jet_encode_text(text, true);
    EXPECT_EQ(jet_decode_text(stored.data(), stored.size()), text);
  }
  // Compression is used only when shorter, and never for a character whose low byte is zero.
  EXPECT_EQ(jet_encode_text(u"Hello", true).size(), 7u);
  EXPECT_EQ(jet_encode_text(u"Hello", false).size(), 10u);
  EXPECT_EQ(jet_encode_text(u"\u0100x", true).size(), 4u);
  EXPECT_EQ(jet_encode_text(u"\u03b1\u03b2", true).size(), 4u);
}

TEST(jet_text, one_unit_that_is_not_narrow_anywhere_in_a_text_takes_the_general_form) {
  // Narrow text is packed several units at a time: a unit that is wide, zero
  // or 0xff..0x100 at any place, blocks and tails alike, must still be seen.
  const std::u16string narrow = u"Kraków, Tromsø and Zürich!";  // all below 0x100
  std::vector<uint8_t> expected = {0xff, 0xfe};
  for (char16_t c : narrow) expected.push_back(uint8_t(c));
  EXPECT_EQ(jet_encode_text(narrow, true), expected);
  for (char16_t odd : {u'\u0100', u'\u03b1', u'\u0000', u'\uffff', u'\u00ff', u'\u0001'}) {
    for (size_t at = 0; at < narrow.size(); ++at) {
      std::u16string text = narrow;
      text[at] = odd;
      std::vector<uint8_t> stored = jet_encode_text(text, true);
      EXPECT_EQ(jet_decode_text(stored.data(), stored.size()), text) << at << " " << int(odd);
      if (odd == u'\u00ff' || odd == u'\u0001') {
        EXPECT_EQ(stored.size(), 2 + text.size()) << at;  // still narrow
      } else {
        EXPECT_GT(stored.size(), 2 + text.size()) << at;
      }
    }
  }
}

TEST(jet_text, a_code_page_stores_each_character_wherever_plain_text_around_it_ends) {
  // ASCII is copied several characters at a time; a character after it, at
  // any place of a block or its tail, is looked up in the code page, and
  // one the code page lacks is stored as '?' and counted.
  for (uint16_t code_page : {1252, 1251}) {
    const jet_format& format = jet_format_jet3(code_page);
    ASSERT_TRUE(format.code_page);
    EXPECT_TRUE(format.code_page_keeps_ascii) << code_page;
    std::u16string ascii = u"The plain part, with a zero";
    ascii += u'\0';
    ascii += u" and a \x7f after it";
    for (char16_t odd : {u'\u00e9', u'\u0416', u'\u4e2d', u'\u0080'}) {
      for (size_t at = 0; at < ascii.size(); ++at) {
        std::u16string text = ascii;
        text[at] = odd;
        std::vector<uint8_t> expected;
        size_t lacking = 0;
        for (char16_t c : text) {
          uint8_t byte = 0;
          if (!format.code_page->from_unicode(c, byte)) {
            byte = '?';
            ++lacking;
          }
          expected.push_back(byte);
        }
        std::vector<uint8_t> stored(100, 0xee);  // longer, as a buffer used before
        EXPECT_EQ(format.encode_text(text, false, stored), lacking) << code_page << " " << at;
        EXPECT_EQ(stored, expected) << code_page << " " << at << " " << int(odd);
      }
    }
  }
}

TEST(jet_header, mask_is_its_own_inverse_and_real_headers_decode) {
  std::vector<uint8_t> block(128);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 7);
  std::vector<uint8_t> masked = block;
  jet_rc4_mask(jet_const::hdr_mask_key, masked.data(), masked.size());
  EXPECT_NE(masked, block);
  jet_rc4_mask(jet_const::hdr_mask_key, masked.data(), masked.size());
  EXPECT_EQ(masked, block);

  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  std::vector<uint8_t> page0 = read_whole_file(sample);
  page0.resize(jet_format_jet4().page_size);
  jet_header header = jet_read_header(page0, sample);
  EXPECT_EQ(header.version, 1);
  EXPECT_EQ(header.page_size, 4096u);
  EXPECT_EQ(header.code_page, 1252);
  EXPECT_EQ(header.sort_order, 0x409);
  EXPECT_EQ(jet_date_text(header.create_date).substr(0, 10), "2004-06-05");
}

namespace {

// Long id (fixed), Yes/No, Text (variable 0), Memo (variable 1), Integer (fixed).
jet_table_def sample_definition() {
  jet_table_def def;
  def.format = &jet_format_jet4();
  def.var_column_count = 2;
  auto add = [&](const char16_t* name, uint8_t type, uint16_t number, uint8_t flags, uint16_t fixed_offset,
                 uint16_t var_index) {
    jet_column column;
    column.name = name;
    column.type = type;
    column.number = number;
    column.flags = flags;
    column.fixed_offset = fixed_offset;
    column.var_index = var_index;
    def.columns.push_back(column);
  };
  add(u"Id", jet_type::long_integer, 0, jet_const::col_flag_fixed, 0, 0);
  add(u"Done", jet_type::boolean, 1, jet_const::col_flag_fixed, 0, 0);
  add(u"Name", jet_type::text, 2, jet_const::col_flag_nullable, 0, 0);
  add(u"Notes", jet_type::memo, 3, jet_const::col_flag_nullable, 0, 1);
  add(u"Count", jet_type::integer, 4, jet_const::col_flag_fixed, 4, 0);
  return def;
}

// Builds a row: fixed area, variable parts, end offset, reversed offset
// table, variable count, then the null mask.
std::vector<uint8_t> build_row(uint16_t columns, const std::vector<uint8_t>& fixed,
                               const std::vector<std::vector<uint8_t>>& variable, uint8_t mask) {
  std::vector<uint8_t> row;
  put16(row, columns);
  row.insert(row.end(), fixed.begin(), fixed.end());
  std::vector<uint16_t> offsets;
  for (const auto& part : variable) {
    offsets.push_back(uint16_t(row.size()));
    row.insert(row.end(), part.begin(), part.end());
  }
  offsets.push_back(uint16_t(row.size()));  // end of the variable data
  for (size_t i = offsets.size(); i-- > 0;) put16(row, offsets[i]);
  put16(row, uint16_t(variable.size()));
  row.push_back(mask);
  return row;
}

}  // namespace

TEST(jet_row, fixed_variable_boolean_and_null_cells_decode) {
  page_file file(4);
  jet_table_def def = sample_definition();
  std::vector<uint8_t> fixed = {0x2a, 0, 0, 0, 0xfe, 0xff};  // 42, -2
  std::vector<uint8_t> memo = lv_reference(jet_const::lv_flag_inline | 4, 0);
  memo.insert(memo.end(), {'o', 0, 'k', 0});
  std::vector<uint8_t> row = build_row(5, fixed, {{'h', 0, 'i', 0}, memo}, 0x1f);
  std::string name = "row";
  std::vector<jet_value> values = jet_decode_row(file.pager(), def, jet_view(row, name));
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].integer, 42);
  EXPECT_FALSE(values[1].is_null);
  EXPECT_EQ(values[1].integer, 1);
  EXPECT_EQ(values[2].text, u"hi");
  EXPECT_EQ(values[3].text, u"ok");
  EXPECT_EQ(values[4].integer, -2);

  // Null bits clear: Id, Name and the Boolean (false, never null).
  row = build_row(5, fixed, {{'h', 0, 'i', 0}, memo}, 0x18);
  values = jet_decode_row(file.pager(), def, jet_view(row, name));
  EXPECT_TRUE(values[0].is_null);
  EXPECT_FALSE(values[1].is_null);
  EXPECT_EQ(values[1].integer, 0);
  EXPECT_TRUE(values[2].is_null);
  EXPECT_EQ(values[3].text, u"ok");

  // A row written before the last columns were added: they read as null.
  row = build_row(3, {0x07, 0, 0, 0}, {{'a', 0}}, 0x07);
  values = jet_decode_row(file.pager(), def, jet_view(row, name));
  EXPECT_EQ(values[0].integer, 7);
  EXPECT_EQ(values[2].text, u"a");
  EXPECT_TRUE(values[3].is_null);
  EXPECT_TRUE(values[4].is_null);
}

TEST(jet_row, damaged_rows_are_corrupt) {
  page_file file(4);
  jet_table_def def = sample_definition();
  std::string name = "row";
  std::vector<uint8_t> good = build_row(5, {1, 0, 0, 0, 2, 0}, {{'h', 0}, {}}, 0x17);
  ASSERT_EQ(error_number([&] { jet_decode_row(file.pager(), def, jet_view(good, name)); }), 0);

  std::vector<uint8_t> bad = good;
  bad[bad.size() - 4] = 0xff;  // variable count far beyond the row
  EXPECT_EQ(error_number([&] { jet_decode_row(file.pager(), def, jet_view(bad, name)); }), jet_dao_error::corrupt);

  bad = good;
  bad[bad.size() - 6] = 0xf0;  // an offset past the row's end
  EXPECT_EQ(error_number([&] { jet_decode_row(file.pager(), def, jet_view(bad, name)); }), jet_dao_error::corrupt);

  bad = good;
  bad[0] = 0xff;  // a column count whose null mask is larger than the row
  bad[1] = 0xff;
  EXPECT_EQ(error_number([&] { jet_decode_row(file.pager(), def, jet_view(bad, name)); }), jet_dao_error::corrupt);

  std::vector<uint8_t> tiny = {5};
  EXPECT_EQ(error_number([&] { jet_decode_row(file.pager(), def, jet_view(tiny, name)); }), jet_dao_error::corrupt);
}

TEST(jet_long_value, inline_single_page_and_chained_values_read) {
  page_file file(6);
  std::string name = "ref";
  file.put_rows(1, jet_const::lval_owner_tag, {bytes_of("single page value")});
  std::vector<uint8_t> first;
  put32(first, jet_row_pointer(2, 1));
  auto first_text = bytes_of("first half, ");
  first.insert(first.end(), first_text.begin(), first_text.end());
  std::vector<uint8_t> second;
  put32(second, 0);
  auto second_text = bytes_of("second half");
  second.insert(second.end(), second_text.begin(), second_text.end());
  file.put_rows(2, jet_const::lval_owner_tag, {first, second});

  std::vector<uint8_t> ref = lv_reference(jet_const::lv_flag_single_page | 6, jet_row_pointer(1, 0));
  EXPECT_EQ(jet_read_long_value(file.pager(), jet_view(ref, name)), bytes_of("single"));

  ref = lv_reference(23, jet_row_pointer(2, 0));
  EXPECT_EQ(jet_read_long_value(file.pager(), jet_view(ref, name)), bytes_of("first half, second half"));

  ref = lv_reference(jet_const::lv_flag_inline | 3, 0);
  ref.insert(ref.end(), {'x', 'y', 'z', 'w'});
  EXPECT_EQ(jet_read_long_value(file.pager(), jet_view(ref, name)), bytes_of("xyz"));
}

TEST(jet_long_value, broken_references_are_corrupt) {
  page_file file(6);
  std::string name = "ref";
  std::vector<uint8_t> looping;
  put32(looping, jet_row_pointer(3, 0));  // points to itself
  looping.push_back('x');
  file.put_rows(3, jet_const::lval_owner_tag, {looping});
  file.put_rows(4, 99, {bytes_of("a table's row, not a long value")});

  auto fails = [&](std::vector<uint8_t> ref) {
    return error_number([&] { jet_read_long_value(file.pager(), jet_view(ref, name)); });
  };
  EXPECT_EQ(fails(lv_reference(100, jet_row_pointer(3, 0))), jet_dao_error::corrupt);              // loop
  EXPECT_EQ(fails(lv_reference(jet_const::lv_flag_single_page | 4000, jet_row_pointer(3, 0))), jet_dao_error::corrupt);
  EXPECT_EQ(fails(lv_reference(jet_const::lv_flag_single_page | 2, jet_row_pointer(9, 0))), jet_dao_error::corrupt);
  EXPECT_EQ(fails(lv_reference(jet_const::lv_flag_single_page | 2, jet_row_pointer(3, 5))), jet_dao_error::corrupt);
  EXPECT_EQ(fails(lv_reference(jet_const::lv_flag_single_page | 2, jet_row_pointer(4, 0))), jet_dao_error::corrupt);
  EXPECT_EQ(fails(lv_reference(jet_const::lv_flag_inline | 50, 0)), jet_dao_error::corrupt);            // past the row
  EXPECT_EQ(fails(lv_reference(0x3fffffff, jet_row_pointer(3, 0))), jet_dao_error::corrupt);       // absurd length
  EXPECT_EQ(fails({1, 2, 3}), jet_dao_error::corrupt);                                              // cut short
}

TEST(jet_usage_map, inline_and_reference_maps_list_their_pages) {
  page_file file(8);
  std::string name = "map";
  std::vector<uint8_t> map = {jet_const::usage_map_inline};
  put32(map, 2);
  map.insert(map.end(), {0x05, 0x00, 0x00});  // bits 0 and 2 from page 2
  EXPECT_EQ(jet_decode_usage_map(file.pager(), jet_view(map, name)), (std::vector<uint32_t>{2, 4}));

  map[5] = 0x80;  // page 9: past the end of the file
  EXPECT_EQ(error_number([&] { jet_decode_usage_map(file.pager(), jet_view(map, name)); }), jet_dao_error::corrupt);

  std::vector<uint8_t> bitmap(jet_format_jet4().page_size, 0);
  bitmap[0] = jet_const::page_usage_map;
  bitmap[1] = 1;
  bitmap[jet_const::usage_map_page_header] = 0x42;  // pages 1 and 6
  file.pager().write_page(5, bitmap);
  std::vector<uint8_t> reference = {jet_const::usage_map_reference};
  put32(reference, 5);
  put32(reference, 0);
  EXPECT_EQ(jet_decode_usage_map(file.pager(), jet_view(reference, name)), (std::vector<uint32_t>{1, 6}));

  reference = {jet_const::usage_map_reference};
  put32(reference, 4);  // an empty page, not a bitmap page
  EXPECT_EQ(error_number([&] { jet_decode_usage_map(file.pager(), jet_view(reference, name)); }),
            jet_dao_error::corrupt);
  std::vector<uint8_t> unknown = {7, 0, 0, 0, 0};
  EXPECT_EQ(error_number([&] { jet_decode_usage_map(file.pager(), jet_view(unknown, name)); }),
            jet_dao_error::corrupt);
}

TEST(jet_value_text, currency_numeric_date_and_guid_render_as_access_shows_them) {
  EXPECT_EQ(jet_currency_text(-123400), "-12.3400");
  EXPECT_EQ(jet_currency_text(5), "0.0005");
  EXPECT_EQ(jet_currency_text(INT64_MIN), "-922337203685477.5808");

  std::vector<uint8_t> numeric(17, 0);
  numeric[13] = 50;  // least significant word is last
  EXPECT_EQ(jet_numeric_text(numeric, 2), "0.50");
  numeric[0] = 0x80;
  numeric[1] = 1;  // 2^96: the low byte of the most significant word
  EXPECT_EQ(jet_numeric_text(numeric, 0), "-79228162514264337593543950386");
  EXPECT_EQ(jet_numeric_text(std::vector<uint8_t>(17, 0), 0), "0");

  EXPECT_EQ(jet_date_text(0), "1899-12-30T00:00:00.000");
  EXPECT_EQ(jet_date_text(36526.5), "2000-01-01T12:00:00.000");
  EXPECT_EQ(jet_date_text(-1.25), "1899-12-29T06:00:00.000");
  EXPECT_EQ(jet_date_text(1e300), "invalid");

  std::vector<uint8_t> guid = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(jet_guid_text(guid), "{12345678-1234-5678-0102-030405060708}");
}
