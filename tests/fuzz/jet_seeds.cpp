// Writes the Jet reader's seeds made by our own engine into a folder: an
// empty database of each version, and one of each version with tables of
// every column type, indexes (primary, unique, descending, two-column),
// column properties, and long values kept in the row, on one page and
// chained over several.
//   fuzz_jet_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

jet_value set(uint8_t type) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  return value;
}

std::u16string repeated(const std::u16string& part, size_t length) {
  std::u16string text;
  while (text.size() < length) text += part;
  text.resize(length);
  return text;
}

void fill(jet_database& db, bool jet3) {
  jet_create_table(db, u"People",
                   {{u"Id", jet_type::long_integer, 0, true, true},
                    {u"Name", jet_type::text, 40},
                    {u"Born", jet_type::date_time},
                    {u"Salary", jet_type::currency},
                    {u"Active", jet_type::boolean},
                    {u"Grade", jet_type::byte},
                    {u"Rank", jet_type::integer},
                    {u"Ratio", jet_type::single},
                    {u"Score", jet_type::double_},
                    {u"Badge", jet_type::binary, 8},
                    {u"Notes", jet_type::memo},
                    {u"Photo", jet_type::long_binary}},
                   {{u"PrimaryKey", {{u"Id", true}}, true, true, false, true},
                    {u"ByName", {{u"Name", true}, {u"Born", false}}},
                    {u"ByRank", {{u"Rank", false}}, false, false, true}},
                   {{{u"Required", jet_type::boolean, 1, {1}}}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}});
  {
    jet_table_writer writer(db, *db.find_table(u"People"));
    for (int k = 0; k < 24; ++k) {
      std::vector<jet_value> row;
      for (const jet_column& column : writer.def().columns) row.push_back(jet_value::null(column.type));
      row[1] = set(jet_type::text);
      row[1].text = u"Person " + std::u16string(1, char16_t(u'A' + k % 26)) + (k % 3 ? u"" : u" \u00e9\u00df");
      if (k % 5) {
        row[2] = set(jet_type::date_time);
        row[2].real = 20000.5 + k * 400;
      }
      row[3] = set(jet_type::currency);
      row[3].integer = int64_t(k) * 123456 - 50000;
      row[4] = set(jet_type::boolean);
      row[4].integer = k % 2;
      row[5] = set(jet_type::byte);
      row[5].integer = k * 10 % 256;
      row[6] = set(jet_type::integer);
      row[6].integer = 100 - k * 9;
      row[7] = set(jet_type::single);
      row[7].real = k / 4.0;
      row[8] = set(jet_type::double_);
      row[8].real = -1.0 / (k + 1);
      row[9] = set(jet_type::binary);
      row[9].bytes = {uint8_t(k), 0, 0xff, uint8_t(k * 7)};
      // Long values: in the row, on one page, chained over pages.
      size_t long_size = k % 4 == 0 ? 20 : k % 4 == 1 ? 300 : k % 4 == 2 ? 1500 : 9000;
      row[10] = set(jet_type::memo);
      row[10].text = repeated(u"Memo text of a row. ", long_size);
      if (k % 3 == 0) {
        row[11] = set(jet_type::long_binary);
        row[11].bytes.assign(long_size, uint8_t(k));
      }
      writer.append(row);
    }
    writer.close();
  }
  std::vector<jet_new_column> parts = {{u"Code", jet_type::text, 10, true}, {u"Qty", jet_type::long_integer}};
  if (!jet3) parts.push_back({u"Key", jet_type::guid});
  jet_create_table(db, u"Parts", parts, {{u"PrimaryKey", {{u"Code", true}}, true, true, false, true}});
  {
    jet_table_writer writer(db, *db.find_table(u"Parts"));
    for (int k = 0; k < 6; ++k) {
      std::vector<jet_value> row;
      for (const jet_column& column : writer.def().columns) row.push_back(jet_value::null(column.type));
      row[0] = set(jet_type::text);
      row[0].text = u"P" + std::u16string(1, char16_t(u'0' + k));
      row[1] = set(jet_type::long_integer);
      row[1].integer = k * 1000;
      if (!jet3) {
        row[2] = set(jet_type::guid);
        row[2].bytes.assign(16, uint8_t(0x10 + k));
      }
      writer.append(row);
    }
    writer.close();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_jet_seeds FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  fs::path folder = argv[1];
  fs::create_directories(folder);
  try {
    for (bool jet3 : {true, false}) {
      const jet_format& format = jet3 ? jet_format_jet3(1252) : jet_format_jet4();
      const char* version = jet3 ? "97" : "2000";
      fs::path empty = folder / (std::string("empty") + version + ".mdb");
      fs::path tables = folder / (std::string("tables") + version + ".mdb");
      for (const fs::path& path : {empty, tables}) fs::remove(path);
      jet_create_database(empty.string(), format);
      jet_create_database(tables.string(), format);
      jet_database db(tables.string(), false);
      fill(db, jet3);
    }
  } catch (const jet_error& error) {
    std::fprintf(stderr, "fuzz_jet_seeds: error %d: %s\n", error.number(), error.what());
    return 1;
  }
  // Lock files are left by no one once the databases are closed; any left over is no seed.
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".ldb") fs::remove(entry.path());
  return 0;
}
