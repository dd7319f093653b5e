#include "jet/database/new_database.h"

#include <cstring>
#include <filesystem>

#include "jet/database/database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/page_writer.h"
#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/header.h"
#include "jet/format/format.h"
#include "jet/table/definition_writer.h"
#include "jet/table/properties.h"

namespace {

// ---- What Access 2000 writes in a new database ----

constexpr uint32_t definition_stamp = 0x659;  // bytes of unknown meaning, the same in every file
constexpr uint32_t real_index_stamp = 0x783;
constexpr uint8_t system_column = 0x10;       // flag of the system tables' columns
constexpr uint8_t owner_column = 0x20;        // flag of their security-id columns

struct column_spec {
  const char16_t* name;
  uint8_t type;
  uint16_t var_index;     // for fixed columns: the variable columns before them
  uint8_t flags;
  uint16_t fixed_offset;
  uint16_t length;
  uint16_t stored_position;
};

struct index_spec {
  const char16_t* name;
  std::vector<uint16_t> columns;  // ascending
  uint8_t flags;                  // 0x80 | unique 1 | ignore nulls 2 | required 8
  uint32_t number;
  bool primary;
};

struct table_spec {
  const char16_t* name;
  uint8_t table_type;
  uint32_t catalog_flags;
  std::vector<column_spec> columns;
  std::vector<index_spec> indexes;  // in stored (name) order; physical index i = logical number
};

constexpr uint8_t F = jet_const::col_flag_fixed | jet_const::col_flag_nullable | system_column;  // 0x13
constexpr uint8_t V = jet_const::col_flag_nullable | system_column;                         // 0x12
constexpr uint8_t S = jet_const::col_flag_nullable | system_column | owner_column;          // 0x32
constexpr uint32_t system_flags = 0x80000000;

const std::vector<table_spec>& system_tables() {
  static const std::vector<table_spec> tables = {
      {u"MSysObjects", jet_const::table_type_system, system_flags,
       {{u"Id", jet_type::long_integer, 0, F, 0, 4, 6},
        {u"ParentId", jet_type::long_integer, 0, F, 4, 4, 13},
        {u"Name", jet_type::text, 0, V, 0, 510, 11},
        {u"Type", jet_type::integer, 1, F, 8, 2, 16},
        {u"DateCreate", jet_type::date_time, 1, F, 10, 8, 2},
        {u"DateUpdate", jet_type::date_time, 1, F, 18, 8, 3},
        {u"Owner", jet_type::binary, 1, S, 0, 510, 12},
        {u"Flags", jet_type::long_integer, 2, F, 26, 4, 4},
        {u"Database", jet_type::memo, 2, V, 0, 0, 1},
        {u"Connect", jet_type::memo, 3, V, 0, 0, 0},
        {u"ForeignName", jet_type::text, 4, V, 0, 510, 5},
        {u"RmtInfoShort", jet_type::binary, 5, V, 0, 510, 15},
        {u"RmtInfoLong", jet_type::long_binary, 6, V, 0, 0, 14},
        {u"Lv", jet_type::long_binary, 7, V, 0, 0, 7},
        {u"LvProp", jet_type::long_binary, 8, V, 0, 0, 10},
        {u"LvModule", jet_type::long_binary, 9, V, 0, 0, 9},
        {u"LvExtra", jet_type::long_binary, 10, V, 0, 0, 8}},
       {{u"Id", {0}, 0x81, 1, true}, {u"ParentIdName", {1, 2}, 0x81, 0, false}}},
      {u"MSysACEs", jet_const::table_type_system, system_flags,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 2},
        {u"SID", jet_type::binary, 0, S, 0, 510, 3},
        {u"ACM", jet_type::long_integer, 1, F, 4, 4, 0},
        {u"FInheritable", jet_type::boolean, 1, F, 0, 1, 1}},
       {{u"ObjectId", {0}, 0x88, 0, false}}},
      {u"MSysQueries", jet_const::table_type_system, system_flags,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 6},
        {u"Attribute", jet_type::byte, 0, F, 4, 1, 0},
        {u"Order", jet_type::binary, 0, V, 0, 510, 7},
        {u"Name1", jet_type::text, 1, V, 0, 510, 4},
        {u"Name2", jet_type::text, 2, V, 0, 510, 5},
        {u"Expression", jet_type::memo, 3, V, 0, 0, 1},
        {u"Flag", jet_type::integer, 4, F, 5, 2, 2},
        {u"LvExtra", jet_type::long_integer, 4, F, 7, 4, 3}},
       {{u"ObjectIdAttribute", {0, 1, 2}, 0x81, 0, true}}},
      {u"MSysRelationships", jet_const::table_type_system, system_flags,
       {{u"szRelationship", jet_type::text, 0, V, 0, 510, 7},
        {u"grbit", jet_type::long_integer, 1, F, 0, 4, 1},
        {u"ccolumn", jet_type::long_integer, 1, F, 4, 4, 0},
        {u"icolumn", jet_type::long_integer, 1, F, 8, 4, 2},
        {u"szObject", jet_type::text, 1, V, 0, 510, 4},
        {u"szColumn", jet_type::text, 2, V, 0, 510, 3},
        {u"szReferencedObject", jet_type::text, 3, V, 0, 510, 6},
        {u"szReferencedColumn", jet_type::text, 4, V, 0, 510, 5}},
       {{u"szObject", {4}, 0x82, 1, false},
        {u"szReferencedObject", {6}, 0x82, 2, false},
        {u"szRelationship", {0}, 0x82, 0, false}}},
  };
  return tables;
}

// MSysAccessObjects: Access's own storage (a fixed 3992-byte column of type
// 0x11 and a Long that lives in the variable area). A user table to the engine.
const table_spec& access_objects_table() {
  static const table_spec table = {u"MSysAccessObjects", jet_const::table_type_user, 0x00000002,
                                   {{u"Data", 0x11, 0, jet_const::col_flag_fixed | jet_const::col_flag_nullable, 0, 3992, 0},
                                    {u"ID", jet_type::long_integer, 0, jet_const::col_flag_nullable, 0, 4, 1}},
                                   {{u"AOIndex", {1}, 0x89, 0, true}}};
  return table;
}

jet_table_def definition_of(const table_spec& spec) {
  jet_table_def def;
  def.format = &jet_format_jet4();
  jet_put_u32(&def.raw_head[0x0c], definition_stamp);
  def.auto_flag = 0x01;
  def.table_type = spec.table_type;
  uint16_t var_columns = 0;
  for (size_t i = 0; i < spec.columns.size(); ++i) {
    const column_spec& c = spec.columns[i];
    jet_column column;
    jet_put_u32(&column.raw[1], definition_stamp);
    column.name = c.name;
    column.type = c.type;
    column.number = uint16_t(i);
    column.var_index = c.var_index;
    column.sort_order = 0x409;
    column.flags = c.flags;
    column.fixed_offset = c.fixed_offset;
    column.length = c.length;
    column.stored_position = c.stored_position;
    if (!(c.flags & jet_const::col_flag_fixed)) ++var_columns;
    def.columns.push_back(column);
  }
  def.max_columns = uint16_t(spec.columns.size());
  def.var_column_count = var_columns;
  for (const index_spec& index : spec.indexes) {
    jet_logical_index logical;
    jet_put_u32(&logical.raw[0], definition_stamp);
    logical.name = index.name;
    logical.number = index.number;
    logical.real_index = index.number;
    logical.update_flags = 0x04;
    logical.delete_flags = 0x04;
    logical.type = index.primary ? jet_const::index_type_primary : 0;
    def.indexes.push_back(logical);
  }
  def.real_indexes.resize(spec.indexes.size());
  for (const index_spec& index : spec.indexes) {
    jet_real_index& real = def.real_indexes[index.number];
    jet_put_u32(&real.raw[0], real_index_stamp);
    for (uint16_t column : index.columns) real.columns.push_back({column, true});
    real.flags = index.flags;
  }
  return def;
}

// ---- Catalog rows ----

constexpr int32_t root_id = 0x0f000000;
constexpr int32_t tables_id = 0x0f000001;
constexpr int32_t databases_id = 0x0f000002;
constexpr int32_t relationships_id = 0x0f000003;
constexpr int32_t msysdb_id = 0x10000000;
constexpr int16_t database_document = -32757;

// Security ids of the default workgroup: the engine, the Admins group, the
// Admin user and the Users group, as Access writes them in a new file.
const std::vector<std::vector<uint8_t>>& security_ids() {
  static const std::vector<std::vector<uint8_t>> ids = {
      {0xa7, 0x33},
      {0xa4, 0xf7, 0x46, 0x67, 0xe1, 0x71, 0x67, 0xee, 0xd7, 0xb1, 0x0f, 0x8f, 0xfe, 0xef, 0x76, 0xff, 0xaa, 0xe3,
       0x66, 0x51, 0x05, 0xbd, 0xd2, 0x9d, 0x4d, 0x4b, 0x39, 0x52, 0xd9, 0xfb, 0x9a, 0x07, 0x66, 0x0c, 0x5b, 0xd2,
       0xd8, 0x7d, 0xdd, 0xb3, 0x1e, 0x65, 0x90, 0x19, 0x00, 0x94, 0x89, 0xc2, 0x3c, 0x25, 0x6a, 0xcf, 0xdb, 0x34,
       0x9a, 0x57, 0xaf, 0x50, 0xc5, 0x14, 0x9a, 0x98, 0x30, 0xe6, 0x2c, 0x35, 0x55, 0x3f, 0x0e, 0x95, 0xcf, 0xb6,
       0xec, 0xb5, 0x70, 0xb2, 0xf0, 0xa9, 0x9b, 0x1c, 0xdb, 0xce, 0x60, 0x74, 0x7b, 0x7b, 0x13, 0xcf, 0x1d, 0xaf,
       0xc3, 0xd6, 0x18, 0x5f, 0x9c, 0x5b, 0xe4, 0xe8, 0x7e, 0x37, 0xed, 0xb3},
      {0xa6, 0x33},
      {0xa7, 0x36},
      {0xa7, 0x31},
  };
  return ids;
}
constexpr size_t engine_sid = 4;  // owner of the engine's own objects
constexpr size_t admin_sid = 2;   // owner of the objects Access adds

struct catalog_row {
  int32_t id;  // for tables: index into the system tables (0-3), 4 for MSysAccessObjects
  bool is_table;
  int32_t parent;
  const char16_t* name;
  int16_t type;
  uint32_t flags;
  size_t owner;
};

const std::vector<catalog_row>& catalog_rows() {
  static const std::vector<catalog_row> rows = {
      {tables_id, false, root_id, u"Tables", 3, system_flags, engine_sid},
      {databases_id, false, root_id, u"Databases", 3, system_flags, engine_sid},
      {relationships_id, false, root_id, u"Relationships", 3, system_flags, engine_sid},
      {msysdb_id, false, databases_id, u"MSysDb", 2, system_flags, admin_sid},
      {0, true, tables_id, u"MSysObjects", 1, system_flags, engine_sid},
      {1, true, tables_id, u"MSysACEs", 1, system_flags, engine_sid},
      {2, true, tables_id, u"MSysQueries", 1, system_flags, engine_sid},
      {3, true, tables_id, u"MSysRelationships", 1, system_flags, engine_sid},
      {int32_t(0x80000000), false, root_id, u"DataAccessPages", 3, 0, admin_sid},
      {int32_t(0x80000001), false, root_id, u"Forms", 3, 0, admin_sid},
      {int32_t(0x80000002), false, root_id, u"Modules", 3, 0, admin_sid},
      {int32_t(0x80000003), false, root_id, u"Reports", 3, 0, admin_sid},
      {int32_t(0x80000004), false, root_id, u"Scripts", 3, 0, admin_sid},
      {int32_t(0x80000005), false, root_id, u"SysRel", 3, 0, admin_sid},
      {int32_t(0x80000006), false, databases_id, u"AccessLayout", database_document, 0, admin_sid},
      {int32_t(0x80000007), false, databases_id, u"SummaryInfo", database_document, 0, admin_sid},
      {int32_t(0x80000008), false, databases_id, u"UserDefined", database_document, 0, admin_sid},
      {4, true, tables_id, u"MSysAccessObjects", 1, 0x00000002, admin_sid},
  };
  return rows;
}

jet_property text_property(const char16_t* name, const std::u16string& text) {
  jet_property property;
  property.name = name;
  property.type = jet_type::text;
  for (char16_t c : text) {
    property.value.push_back(uint8_t(c));
    property.value.push_back(uint8_t(c >> 8));
  }
  return property;
}

std::vector<uint8_t> properties_of(const std::u16string& object) {
  jet_property_block block;
  block.is_object = true;
  if (object == u"MSysDb") {
    block.properties.push_back(text_property(u"AccessVersion", u"08.50"));
    jet_property build;
    build.name = u"Build";
    build.type = jet_type::long_integer;
    build.value = {0xdc, 0x19, 0x00, 0x00};  // 6620
    block.properties.push_back(build);
  } else if (object == u"AccessLayout") {
    block.properties.push_back(text_property(u"KeepLocal", u"T"));
  } else if (object == u"SummaryInfo") {
    block.properties.push_back(text_property(u"Title", std::u16string(4, u' ')));
    block.properties.push_back(text_property(u"Author", std::u16string(12, u' ')));
    block.properties.push_back(text_property(u"Company", std::u16string(21, u' ')));
  } else if (object == u"UserDefined") {
    jet_property replicate;
    replicate.name = u"ReplicateProject";
    replicate.type = jet_type::boolean;
    replicate.value = {0x01};
    block.properties.push_back(replicate);
  } else {
    return {};
  }
  return jet_encode_properties(jet_format_jet4(), {block});
}

// Permission rows: object (catalog row index, or -1 for Databases), security id, rights, inheritable.
struct ace_row {
  int row;
  size_t sid;
  int32_t rights;
  bool inheritable;
};

const std::vector<ace_row>& ace_rows() {
  // Rows in the order Access writes them; `row` indexes catalog_rows().
  static const std::vector<ace_row> rows = {
      {8, 0, 1048575, true},  {8, 1, 1048575, true},  {8, 2, 1048575, true},  {8, 3, 1048575, true},
      {1, 2, 393216, false},  {9, 0, 1048575, true},  {9, 1, 1048575, true},  {9, 2, 1048575, true},
      {9, 3, 1048575, true},  {10, 0, 1048575, true}, {10, 1, 1048575, true}, {10, 2, 1048575, true},
      {10, 3, 1048575, true}, {2, 3, 983294, true},   {2, 2, 393217, false},  {2, 1, 1048575, true},
      {2, 0, 1048575, true},  {11, 0, 1048575, true}, {11, 1, 1048575, true}, {11, 2, 1048575, true},
      {11, 3, 1048575, true}, {12, 0, 1048575, true}, {12, 1, 1048575, true}, {12, 2, 1048575, true},
      {12, 3, 1048575, true}, {13, 0, 1048575, true}, {13, 1, 1048575, true}, {13, 2, 1048575, true},
      {13, 3, 1048575, true}, {0, 3, 983294, true},   {0, 2, 1048319, true},  {0, 1, 1048319, true},
      {0, 0, 1048319, true},  {3, 2, 393230, false},  {3, 0, 14, false},      {3, 1, 393230, false},
      {15, 0, 65536, false},  {16, 0, 65536, false},  {17, 2, 1048575, false}, {17, 1, 1048575, false},
      {17, 0, 1048575, false}, {5, 2, 393216, false}, {5, 1, 393300, false},  {4, 2, 393216, false},
      {4, 1, 393300, false},  {4, 0, 20, false},      {6, 2, 393216, false},  {6, 1, 393236, false},
      {6, 0, 20, false},      {7, 2, 917504, false},  {7, 1, 393236, false},  {7, 0, 20, false},
  };
  return rows;
}

// ---- Pages 0 and 1 ----

std::vector<uint8_t> header_page(double created) {
  const jet_format& format = jet_format_jet4();
  std::vector<uint8_t> page(format.page_size, 0);
  page[1] = 0x01;
  std::memcpy(&page[jet_const::hdr_magic_offset], "Standard Jet DB", 16);
  page[jet_const::hdr_version_offset] = format.version;
  // Under the mask, the same 24 bytes in every file Access made, of either version.
  static const uint8_t fixed_block[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
  std::memcpy(&page[jet_const::hdr_mask_offset], fixed_block, sizeof fixed_block);
  jet_put_u16(&page[jet_const::hdr_code_page_offset], 1252);
  // The empty password is stored as its mask: the whole days of the creation date, repeated.
  uint32_t days = uint32_t(created);
  for (uint32_t i = 0; i < format.header.password_length; i += 4)
    jet_put_u32(&page[jet_const::hdr_password_offset + i], days);
  jet_put_u16(&page[format.header.sort_order], 0x409);
  std::memcpy(&page[format.header.create_date], &created, 8);
  jet_rc4_mask(jet_const::hdr_mask_key, &page[jet_const::hdr_mask_offset], format.header.mask_length);
  // After the masked block and at the page end: values every Access 2000 file carries.
  jet_put_u32(&page[0x98], 0x654);
  std::memcpy(&page[0x9c], "4.0", 4);
  jet_put_u16(&page[0xe00], 0x0101);
  for (size_t at = 0xe02; at < format.page_size; at += 2) jet_put_u16(&page[at], 0x0100);
  return page;
}

// Page 1: the global map (pages free for reuse: none in the file, all past
// its end) and a second map row Access keeps empty.
std::vector<uint8_t> global_map_page(uint32_t used_pages) {
  const jet_format& format = jet_format_jet4();
  const uint32_t map_bytes = format.inline_map_bytes;
  std::vector<uint8_t> page = jet_new_data_page(format, 1);
  std::vector<uint8_t> free_map(5 + map_bytes, 0);
  for (uint32_t bit = used_pages; bit < map_bytes * 8; ++bit) free_map[5 + bit / 8] |= uint8_t(1u << (bit % 8));
  jet_page_add_row(format, page, free_map);
  jet_page_add_row(format, page, std::vector<uint8_t>(5 + map_bytes, 0));
  return page;
}

}  // namespace

void jet_create_database(const std::string& path, const jet_format& format) {
  if (format.version != jet_const::version_jet4)
    throw jet_error(jet_dao_error::invalid_argument, "Access 97 databases cannot be created yet.");
  jet_create_database(path);
}

void jet_create_database(const std::string& path) {
  jet_create_empty_file(path);
  try {
    double created = jet_ole_now();
    {
      jet_pager pager(path, true);
      pager.write_page(0, header_page(created));
      pager.write_page(1, global_map_page(6));  // pages 0 to 5 are written here
      // The system tables' definitions take pages 2 to 5, in catalog order.
      std::vector<jet_table_def> defs;
      for (uint32_t page = 2; page < 6; ++page) pager.write_page(page, std::vector<uint8_t>(pager.page_size(), 0));
      jet_map_rows maps(pager);
      for (size_t i = 0; i < system_tables().size(); ++i) {
        defs.push_back(definition_of(system_tables()[i]));
        jet_write_new_table(pager, defs.back(), maps, {uint32_t(2 + i)});
      }
      jet_table_def access_objects = definition_of(access_objects_table());
      jet_write_new_table(pager, access_objects, maps, {});
      defs.push_back(access_objects);
      pager.flush();
    }

    jet_database db(path, false);
    std::vector<int32_t> ids;
    {
      // The catalog's own rows, through a catalog entry made up for its definition.
      jet_catalog_entry catalog;
      catalog.id = int32_t(jet_const::catalog_tdef_page);
      catalog.type = 1;
      jet_table_writer writer(db, catalog);
      for (const catalog_row& spec : catalog_rows()) {
        int32_t id = spec.id;
        if (spec.is_table) id = spec.id < 4 ? 2 + spec.id : -1;
        ids.push_back(id);
      }
      // MSysAccessObjects' definition is the first page after the system tables' own pages.
      for (uint32_t page = 6; page < db.pager().page_count(); ++page) {
        std::vector<uint8_t> bytes = db.pager().read_page(page);
        if (bytes[0] == jet_const::page_tdef) {
          for (int32_t& id : ids)
            if (id == -1) id = int32_t(page);
          break;
        }
      }
      for (size_t r = 0; r < catalog_rows().size(); ++r) {
        const catalog_row& spec = catalog_rows()[r];
        std::vector<jet_value> row;
        for (const jet_column& column : writer.def().columns) {
          jet_value value = jet_value::null(column.type);
          auto set = [&](int64_t number) { value.is_null = false; value.integer = number; };
          if (column.name == u"Id") set(ids[r]);
          else if (column.name == u"ParentId") set(spec.parent);
          else if (column.name == u"Type") set(spec.type);
          else if (column.name == u"Flags") set(int32_t(spec.flags));
          else if (column.name == u"Name") { value.is_null = false; value.text = spec.name; }
          else if (column.name == u"DateCreate" || column.name == u"DateUpdate") { value.is_null = false; value.real = created; }
          else if (column.name == u"Owner") { value.is_null = false; value.bytes = security_ids()[spec.owner]; }
          else if (column.name == u"LvProp") {
            value.bytes = properties_of(spec.name);
            value.is_null = value.bytes.empty();
          }
          row.push_back(value);
        }
        writer.append(row);
      }
      writer.close();
    }
    db.reload_catalog();
    {
      jet_table_writer writer(db, *db.find_table(u"MSysACEs"));
      for (const ace_row& ace : ace_rows()) {
        std::vector<jet_value> row(4);
        row[0] = jet_value::null(jet_type::long_integer);
        row[0].is_null = false;
        row[0].integer = ids[size_t(ace.row)];
        row[1] = jet_value::null(jet_type::binary);
        row[1].is_null = false;
        row[1].bytes = security_ids()[ace.sid];
        row[2] = jet_value::null(jet_type::long_integer);
        row[2].is_null = false;
        row[2].integer = ace.rights;
        row[3] = jet_value::null(jet_type::boolean);
        row[3].is_null = false;
        row[3].integer = ace.inheritable ? 1 : 0;
        writer.append(row);
      }
      writer.close();
    }
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // no half-made database stays behind
    throw;
  }
}
