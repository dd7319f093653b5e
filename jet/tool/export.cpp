#include "jet/tool/export.h"

#include <charconv>
#include <cmath>

#include "jet/database/database.h"
#include "jet/format/column_type.h"
#include "jet/table/cursor.h"
#include "platform/codepage.h"

namespace {

template <typename Real>
std::string real_text(Real value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char text[64];
  // Shortest text that reads back as the same value, never in the locale's form.
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// "2024-02-29T13:05:00.000" as "2024-02-29 13:05:00".
std::string date_text(double ole_date) {
  std::string text = jet_date_text(ole_date);
  if (text.size() < 19) return text;
  text[10] = ' ';
  return text.substr(0, 19);
}

std::string value_text(const jet_value& value, const jet_column& column) {
  if (value.is_null) return std::string();
  switch (value.type) {
    case jet_type::boolean: return value.integer != 0 ? "1" : "0";
    case jet_type::byte:
    case jet_type::integer:
    case jet_type::long_integer: return std::to_string(value.integer);
    case jet_type::currency: return jet_currency_text(value.integer);
    case jet_type::single: return real_text(static_cast<float>(value.real));
    case jet_type::double_: return real_text(value.real);
    case jet_type::date_time: return date_text(value.real);
    case jet_type::text:
    case jet_type::memo: return platform::utf16_to_utf8(value.text);
    case jet_type::guid: return jet_guid_text(value.bytes);
    case jet_type::numeric: return jet_numeric_text(value.bytes, column.scale);
    default: return "0x" + jet_hex(value.bytes);
  }
}

}  // namespace

std::vector<const jet_catalog_entry*> jet_user_tables(const jet_database& db) {
  std::vector<const jet_catalog_entry*> tables;
  for (const jet_catalog_entry* entry : db.tables())
    if (entry->is_local_table() && !entry->is_system()) tables.push_back(entry);
  return tables;
}

std::string jet_csv_field(const std::string& utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

void jet_export_csv(const jet_database& db, const jet_catalog_entry& table, std::ostream& out) {
  const jet_table_def def = db.table_def(table);
  for (size_t i = 0; i < def.columns.size(); ++i)
    out << (i ? "," : "") << jet_csv_field(platform::utf16_to_utf8(def.columns[i].name));
  out << "\r\n";
  jet_table_cursor cursor(db.pager(), def);
  std::vector<jet_value> row;
  while (cursor.next(row)) {
    for (size_t i = 0; i < row.size(); ++i) out << (i ? "," : "") << jet_csv_field(value_text(row[i], def.columns[i]));
    out << "\r\n";
  }
}
