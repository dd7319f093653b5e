#include "jet/database/new_database.h"

#include <cstring>
#include <filesystem>

#include "jet/database/database.h"
#include "jet/database/database_template.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/journal.h"
#include "jet/file/page_writer.h"
#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/header.h"
#include "jet/table/definition_writer.h"
#include "jet/table/properties.h"
#include "platform/code_page_table.h"

namespace {

constexpr uint16_t general_sort_order = 0x409;
constexpr uint16_t western_code_page = 1252;

const jet_database_template& template_for(const jet_format& format) {
  for (const jet_database_template* t : {&jet_access2000_template(), &jet_access97_template()})
    if (t->format == &format) return *t;
  throw jet_error(jet_dao_error::invalid_argument, std::string("No new databases of this format: ") + format.name);
}

// A new definition's stamp, where the version has one.
void stamp(const jet_format::stamp& stamp, uint8_t* bytes) {
  if (stamp.offset == jet_format::absent) return;
  for (uint32_t i = 0; i < stamp.size; ++i) bytes[stamp.offset + i] = uint8_t(stamp.value >> (8 * i));
}

jet_table_def definition_of(const jet_format& format, const jet_template_table& spec, uint16_t sort_version) {
  jet_table_def def;
  def.format = &format;
  stamp(format.new_definition.head, def.raw_head.data());
  def.auto_flag = 0x01;
  def.table_type = spec.table_type;
  uint16_t var_columns = 0;
  for (size_t i = 0; i < spec.columns.size(); ++i) {
    const jet_template_column& c = spec.columns[i];
    jet_column column;
    stamp(format.new_definition.column, column.raw.data());
    column.name = c.name;
    column.type = c.type;
    column.number = uint16_t(i);
    column.var_index = c.var_index;
    column.sort_order = general_sort_order;
    column.sort_version = uint8_t(sort_version);
    // Only a Jet 3 column names its code page (and its text keys follow it).
    if (format.code_page) column.code_page = uint16_t(format.code_page->code_page());
    column.flags = c.flags;
    column.fixed_offset = c.fixed_offset;
    column.length = c.length;
    column.stored_position = c.stored_position;
    if (!(c.flags & jet_const::col_flag_fixed)) ++var_columns;
    def.columns.push_back(column);
  }
  def.max_columns = uint16_t(spec.columns.size());
  def.var_column_count = var_columns;
  for (const jet_template_index& index : spec.indexes) {
    jet_logical_index logical;
    stamp(format.new_definition.logical_index, logical.raw.data());
    logical.name = index.name;
    logical.number = index.number;
    logical.real_index = index.number;
    logical.update_flags = 0x04;
    logical.delete_flags = 0x04;
    logical.type = index.primary ? jet_const::index_type_primary : 0;
    def.indexes.push_back(logical);
  }
  def.real_indexes.resize(spec.indexes.size());
  for (const jet_template_index& index : spec.indexes) {
    jet_real_index& real = def.real_indexes[index.number];
    stamp(format.new_definition.real_index, real.raw.data());
    for (uint16_t column : index.columns) real.columns.push_back({column, true});
    real.flags = index.flags;
  }
  return def;
}

std::vector<uint8_t> properties_of(const jet_format& format, const jet_template_object& object) {
  if (object.properties.empty() && object.property_names.empty()) return {};
  jet_property_block block;
  block.is_object = true;
  block.properties = object.properties;
  return jet_encode_properties(format, {block}, object.property_names);
}

// ---- Pages 0 and 1 ----

std::vector<uint8_t> header_page(const jet_database_template& t, double created) {
  const jet_format& format = *t.format;
  std::vector<uint8_t> page(format.page_size, 0);
  page[1] = 0x01;
  std::memcpy(&page[jet_const::hdr_magic_offset], "Standard Jet DB", 16);
  page[jet_const::hdr_version_offset] = format.version;
  // Under the mask, the same 24 bytes in every file Access made, of either version.
  static const uint8_t fixed_block[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
  std::memcpy(&page[jet_const::hdr_mask_offset], fixed_block, sizeof fixed_block);
  jet_put_u16(&page[jet_const::hdr_code_page_offset], western_code_page);
  jet_put_u16(&page[format.header.sort_order], general_sort_order);
  jet_put_u16(&page[format.header.sort_version], t.sort_version);
  if (format.header.create_date != jet_format::absent) {
    std::memcpy(&page[format.header.create_date], &created, 8);
    // The empty password is stored as its mask: the whole days of the creation date, repeated.
    uint32_t days = uint32_t(created);
    for (uint32_t i = 0; i < format.header.password_length; i += 4)
      jet_put_u32(&page[jet_const::hdr_password_offset + i], days);
  }
  for (const jet_template_bytes& bytes : t.header) std::memcpy(&page[bytes.offset], bytes.bytes.data(), bytes.bytes.size());
  jet_rc4_mask(jet_const::hdr_mask_key, &page[jet_const::hdr_mask_offset], format.header.mask_length);
  // The page's last 512 bytes, in both versions: 0x0101, then 0x0100 (meaning unknown).
  const uint32_t tail = format.page_size - 512;
  jet_put_u16(&page[tail], 0x0101);
  for (size_t at = tail + 2; at < format.page_size; at += 2) jet_put_u16(&page[at], 0x0100);
  return page;
}

// Page 1: the global map (pages free for reuse: none in the file, all past
// its end) and a second map row Access keeps empty.
std::vector<uint8_t> global_map_page(const jet_format& format, uint32_t used_pages) {
  const uint32_t map_bytes = format.inline_map_bytes;
  std::vector<uint8_t> page = jet_new_data_page(format, 1);
  std::vector<uint8_t> free_map(5 + map_bytes, 0);
  for (uint32_t bit = used_pages; bit < map_bytes * 8; ++bit) free_map[5 + bit / 8] |= uint8_t(1u << (bit % 8));
  jet_page_add_row(format, page, free_map);
  jet_page_add_row(format, page, std::vector<uint8_t>(5 + map_bytes, 0));
  return page;
}

jet_value integer_value(uint8_t type, int64_t number) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.integer = number;
  return value;
}

// The catalog's rows, through a catalog entry made up for its definition
// (the catalog cannot list itself before its first row).
void write_catalog(jet_database& db, const jet_database_template& t, const std::vector<int32_t>& table_ids,
                   double created) {
  jet_catalog_entry catalog;
  catalog.id = int32_t(jet_const::catalog_tdef_page);
  catalog.type = 1;
  jet_table_writer writer(db, catalog);
  for (const jet_template_object& object : t.objects) {
    std::vector<jet_value> row;
    for (const jet_column& column : writer.def().columns) {
      jet_value value = jet_value::null(column.type);
      if (column.name == u"Id") value = integer_value(column.type, object.table >= 0 ? table_ids[size_t(object.table)] : object.id);
      else if (column.name == u"ParentId") value = integer_value(column.type, object.parent);
      else if (column.name == u"Type") value = integer_value(column.type, object.type);
      else if (column.name == u"Flags") value = integer_value(column.type, int32_t(object.flags));
      else if (column.name == u"Name") { value.is_null = false; value.text = object.name; }
      else if (column.name == u"DateCreate" || column.name == u"DateUpdate") { value.is_null = false; value.real = created; }
      else if (column.name == u"Owner") { value.is_null = false; value.bytes = t.security_ids[object.owner]; }
      else if (column.name == u"LvProp") {
        value.bytes = properties_of(*t.format, object);
        value.is_null = value.bytes.empty();
      }
      row.push_back(value);
    }
    writer.append(row);
  }
  writer.close();
}

void write_permissions(jet_database& db, const jet_database_template& t, const std::vector<int32_t>& table_ids) {
  jet_table_writer writer(db, *db.find_table(u"MSysACEs"));
  for (const jet_template_ace& ace : t.aces) {
    const jet_template_object& object = t.objects[ace.object];
    std::vector<jet_value> row(4);
    row[0] = integer_value(jet_type::long_integer, object.table >= 0 ? table_ids[size_t(object.table)] : object.id);
    row[1] = jet_value::null(jet_type::binary);
    row[1].is_null = false;
    row[1].bytes = t.security_ids[ace.sid];
    row[2] = integer_value(jet_type::long_integer, ace.rights);
    row[3] = integer_value(jet_type::boolean, ace.inheritable ? 1 : 0);
    writer.append(row);
  }
  writer.close();
}

}  // namespace

void jet_create_database(const std::string& path, const jet_format& format) {
  const jet_database_template& t = template_for(format);
  jet_create_empty_file(path);
  try {
    double created = jet_ole_now();
    std::vector<int32_t> table_ids;  // each template table's definition page
    {
      jet_pager pager(path, true);
      pager.set_format(format);
      const uint32_t first_free = uint32_t(2 + t.fixed_tables);
      pager.write_page(0, header_page(t, created));
      pager.write_page(1, global_map_page(format, first_free));
      for (uint32_t page = 2; page < first_free; ++page) pager.write_page(page, std::vector<uint8_t>(pager.page_size(), 0));
      jet_map_rows maps(pager);
      for (size_t i = 0; i < t.tables.size(); ++i) {
        jet_table_def def = definition_of(format, t.tables[i], t.sort_version);
        std::vector<uint32_t> chain;
        if (i < t.fixed_tables) chain.push_back(uint32_t(2 + i));
        jet_write_new_table(pager, def, maps, chain);
        table_ids.push_back(int32_t(def.page));
      }
      pager.commit();
    }
    jet_database db(path, false);
    write_catalog(db, t, table_ids, created);
    db.reload_catalog();
    write_permissions(db, t, table_ids);
    db.pager_for_update().commit();
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // no half-made database stays behind
    std::filesystem::remove(jet_journal::name_for(path), ignored);
    throw;
  }
}
