#include "jet/tool/dump.h"

#include "jet/database/database.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/tool/json_writer.h"
#include "platform/codepage.h"

namespace {

void write_value(jet_json& json, const jet_value& value, const jet_column* column) {
  if (value.is_null) return json.null();
  switch (value.type) {
    case jet_type::boolean: return json.boolean(value.integer != 0);
    case jet_type::byte:
    case jet_type::integer:
    case jet_type::long_integer: return json.integer(value.integer);
    case jet_type::currency: return json.string(jet_currency_text(value.integer));
    case jet_type::single:
    case jet_type::double_: return json.real(value.real);
    case jet_type::date_time: return json.string(jet_date_text(value.real));
    case jet_type::text:
    case jet_type::memo: return json.string(value.text);
    case jet_type::guid: return json.string(jet_guid_text(value.bytes));
    case jet_type::numeric: return json.string(jet_numeric_text(value.bytes, column ? column->scale : 0));
    default: return json.string(jet_hex(value.bytes));
  }
}

// A property's stored bytes shown as its DAO type says.
void write_property(jet_json& json, const jet_format& format, const jet_property& property, const std::string& file) {
  jet_view view(property.value, file);
  switch (property.type) {
    case jet_type::boolean: return json.boolean(!property.value.empty() && property.value[0] != 0);
    case jet_type::byte: return view.size() >= 1 ? json.integer(view.u8(0)) : json.null();
    case jet_type::integer: return view.size() >= 2 ? json.integer(int16_t(view.u16(0))) : json.null();
    case jet_type::long_integer: return view.size() >= 4 ? json.integer(int32_t(view.u32(0))) : json.null();
    case jet_type::double_: return view.size() >= 8 ? json.real(view.f64(0)) : json.null();
    case jet_type::single: return view.size() >= 4 ? json.real(view.f32(0)) : json.null();
    case jet_type::date_time: return view.size() >= 8 ? json.string(jet_date_text(view.f64(0))) : json.null();
    case jet_type::text:
    case jet_type::memo: return json.string(format.decode_text(property.value.data(), property.value.size()));
    case jet_type::guid: return json.string(jet_guid_text(property.value));
    default: return json.string(jet_hex(property.value));
  }
}

void write_properties(jet_json& json, const jet_format& format, const jet_property_block* block,
                      const std::string& file) {
  json.begin_object();
  if (block)
    for (const jet_property& property : block->properties) {
      json.key(platform::utf16_to_utf8(property.name));
      write_property(json, format, property, file);
    }
  json.end_object();
}

uint32_t dao_size(const jet_format& format, const jet_column& column) {
  if (column.type == jet_type::boolean) return 1;
  if (column.type == jet_type::text) return format.text_characters(column.length);
  return column.length;
}

void write_table(jet_json& json, const jet_database& db, const jet_catalog_entry& entry,
                 const jet_dump_options& options) {
  json.begin_object();
  json.key("name");
  json.string(entry.name);
  json.key("object_type");
  json.integer(entry.type);
  json.key("attributes");
  json.integer(entry.dao_attributes());
  std::vector<jet_property_block> blocks = db.properties(entry);
  const jet_property_block* object_block = nullptr;
  for (const jet_property_block& block : blocks)
    if (block.is_object) object_block = &block;
  json.key("properties");
  write_properties(json, db.format(), object_block, db.path());
  if (!entry.is_local_table()) {
    json.key("database");
    json.string(entry.database);
    json.key("foreign_name");
    json.string(entry.foreign_name);
    json.end_object();
    return;
  }

  jet_table_def def = db.table_def(entry);
  json.key("tdef_page");
  json.integer(def.page);
  json.key("row_count");
  json.integer(def.row_count);
  json.key("columns");
  json.begin_array();
  for (const jet_column& column : def.columns) {
    json.begin_object();
    json.key("name");
    json.string(column.name);
    json.key("number");
    json.integer(column.number);
    json.key("type");
    json.string(jet_type::name(column.type));
    json.key("type_code");
    json.integer(column.type);
    json.key("size");
    json.integer(dao_size(db.format(), column));
    json.key("fixed");
    json.boolean(column.is_fixed());
    json.key("nullable");
    json.boolean(column.is_nullable());
    json.key("auto_increment");
    json.boolean(column.is_auto_long());
    if (column.type == jet_type::numeric) {
      json.key("precision");
      json.integer(column.precision);
      json.key("scale");
      json.integer(column.scale);
    }
    if (jet_type::is_textual(column.type)) {
      json.key("sort_order");
      json.integer(column.sort_order);
      json.key("compressed");
      json.boolean(column.is_compressed());
    }
    const jet_property_block* column_block = nullptr;
    for (const jet_property_block& block : blocks)
      if (!block.is_object && jet_same_name(block.name, column.name)) column_block = &block;
    json.key("properties");
    write_properties(json, db.format(), column_block, db.path());
    json.end_object();
  }
  json.end_array();

  json.key("indexes");
  json.begin_array();
  for (const jet_logical_index& index : def.indexes) {
    const jet_real_index& real = def.real_indexes[index.real_index];
    json.begin_object();
    json.key("name");
    json.string(index.name);
    json.key("number");
    json.integer(index.number);
    json.key("real_index");
    json.integer(index.real_index);
    json.key("primary");
    json.boolean(index.type == jet_const::index_type_primary);
    json.key("foreign");
    json.boolean(index.type == jet_const::index_type_foreign);
    json.key("unique");
    json.boolean(real.flags & jet_const::index_flag_unique);
    json.key("ignore_nulls");
    json.boolean(real.flags & jet_const::index_flag_ignore_nulls);
    json.key("required");
    json.boolean(real.flags & jet_const::index_flag_required);
    json.key("first_page");
    json.integer(real.first_page);
    json.key("columns");
    json.begin_array();
    for (const jet_index_column& key : real.columns) {
      const jet_column* column = def.column_by_number(key.column_number);
      json.begin_object();
      json.key("name");
      if (column) json.string(column->name); else json.null();
      json.key("ascending");
      json.boolean(key.ascending);
      json.end_object();
    }
    json.end_array();
    json.end_object();
  }
  json.end_array();

  if (options.rows) {
    json.key("rows");
    json.begin_array();
    jet_table_cursor cursor(db.pager(), def);
    std::vector<jet_value> row;
    while (cursor.next(row)) {
      json.begin_array();
      for (size_t i = 0; i < row.size(); ++i) write_value(json, row[i], &def.columns[i]);
      json.end_array();
    }
    json.end_array();
  }
  json.end_object();
}

}  // namespace

void jet_dump_json(const jet_database& db, std::ostream& out, const jet_dump_options& options) {
  jet_json json(out);
  json.begin_object();
  json.key("format");
  json.string("Jet4");
  json.key("version");
  json.integer(db.header().version);
  json.key("code_page");
  json.integer(db.header().code_page);
  json.key("sort_order");
  json.integer(db.header().sort_order);
  json.key("created");
  json.string(jet_date_text(db.header().create_date));
  json.key("tables");
  json.begin_array();
  for (const jet_catalog_entry* entry : db.tables())
    if (options.system_tables || !entry->is_system()) write_table(json, db, *entry, options);
  json.end_array();
  json.end_object();
  out << '\n';
}
