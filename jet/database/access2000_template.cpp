// What Access 2000 writes in a new database (emptyV2000.mdb): the four
// engine tables, Access's own MSysAccessObjects, the containers and
// documents, and their permissions.
#include "jet/database/database_template.h"
#include "jet/format/column_type.h"

namespace {

constexpr uint8_t system_column = 0x10;  // flag of the system tables' columns
constexpr uint8_t owner_column = 0x20;   // flag of their security-id columns
constexpr uint8_t F = jet_const::col_flag_fixed | jet_const::col_flag_nullable | system_column;  // 0x13
constexpr uint8_t V = jet_const::col_flag_nullable | system_column;                              // 0x12
constexpr uint8_t S = jet_const::col_flag_nullable | system_column | owner_column;               // 0x32
constexpr uint32_t system_flags = 0x80000000;

constexpr int32_t root_id = 0x0f000000;
constexpr int32_t tables_id = 0x0f000001;
constexpr int32_t databases_id = 0x0f000002;
constexpr int32_t msysdb_id = 0x10000000;
constexpr int16_t database_document = -32757;
constexpr size_t engine_sid = 4;  // owner of the engine's own objects
constexpr size_t admin_sid = 2;   // owner of the objects Access adds

jet_property text_property(const char16_t* name, const std::u16string& text) {
  jet_property property;
  property.name = name;
  property.type = jet_type::text;
  property.value = jet_format_jet4().encode_text(text);
  return property;
}

jet_property value_property(const char16_t* name, uint8_t type, std::vector<uint8_t> value) {
  jet_property property;
  property.name = name;
  property.type = type;
  property.value = std::move(value);
  return property;
}

jet_database_template make_template() {
  jet_database_template t;
  t.format = &jet_format_jet4();
  t.tables = {
      {u"MSysObjects", jet_const::table_type_system,
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
      {u"MSysACEs", jet_const::table_type_system,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 2},
        {u"SID", jet_type::binary, 0, S, 0, 510, 3},
        {u"ACM", jet_type::long_integer, 1, F, 4, 4, 0},
        {u"FInheritable", jet_type::boolean, 1, F, 0, 1, 1}},
       {{u"ObjectId", {0}, 0x88, 0, false}}},
      {u"MSysQueries", jet_const::table_type_system,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 6},
        {u"Attribute", jet_type::byte, 0, F, 4, 1, 0},
        {u"Order", jet_type::binary, 0, V, 0, 510, 7},
        {u"Name1", jet_type::text, 1, V, 0, 510, 4},
        {u"Name2", jet_type::text, 2, V, 0, 510, 5},
        {u"Expression", jet_type::memo, 3, V, 0, 0, 1},
        {u"Flag", jet_type::integer, 4, F, 5, 2, 2},
        {u"LvExtra", jet_type::long_integer, 4, F, 7, 4, 3}},
       {{u"ObjectIdAttribute", {0, 1, 2}, 0x81, 0, true}}},
      {u"MSysRelationships", jet_const::table_type_system,
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
      // Access's own storage (a fixed 3992-byte column of type 0x11 and a
      // Long that lives in the variable area). A user table to the engine.
      {u"MSysAccessObjects", jet_const::table_type_user,
       {{u"Data", 0x11, 0, jet_const::col_flag_fixed | jet_const::col_flag_nullable, 0, 3992, 0},
        {u"ID", jet_type::long_integer, 0, jet_const::col_flag_nullable, 0, 4, 1}},
       {{u"AOIndex", {1}, 0x89, 0, true}}},
  };
  t.fixed_tables = 4;

  t.objects = {
      {u"Tables", tables_id, -1, root_id, 3, system_flags, engine_sid, {}, {}},
      {u"Databases", databases_id, -1, root_id, 3, system_flags, engine_sid, {}, {}},
      {u"Relationships", 0x0f000003, -1, root_id, 3, system_flags, engine_sid, {}, {}},
      {u"MSysDb", msysdb_id, -1, databases_id, 2, system_flags, admin_sid,
       {text_property(u"AccessVersion", u"08.50"),
        value_property(u"Build", jet_type::long_integer, {0xdc, 0x19, 0x00, 0x00})},  // 6620
       {}},
      {u"MSysObjects", 0, 0, tables_id, 1, system_flags, engine_sid, {}, {}},
      {u"MSysACEs", 0, 1, tables_id, 1, system_flags, engine_sid, {}, {}},
      {u"MSysQueries", 0, 2, tables_id, 1, system_flags, engine_sid, {}, {}},
      {u"MSysRelationships", 0, 3, tables_id, 1, system_flags, engine_sid, {}, {}},
      {u"DataAccessPages", int32_t(0x80000000), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"Forms", int32_t(0x80000001), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"Modules", int32_t(0x80000002), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"Reports", int32_t(0x80000003), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"Scripts", int32_t(0x80000004), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"SysRel", int32_t(0x80000005), -1, root_id, 3, 0, admin_sid, {}, {}},
      {u"AccessLayout", int32_t(0x80000006), -1, databases_id, database_document, 0, admin_sid,
       {text_property(u"KeepLocal", u"T")}, {}},
      {u"SummaryInfo", int32_t(0x80000007), -1, databases_id, database_document, 0, admin_sid,
       {text_property(u"Title", std::u16string(4, u' ')), text_property(u"Author", std::u16string(12, u' ')),
        text_property(u"Company", std::u16string(21, u' '))},
       {}},
      {u"UserDefined", int32_t(0x80000008), -1, databases_id, database_document, 0, admin_sid,
       {value_property(u"ReplicateProject", jet_type::boolean, {0x01})}, {}},
      {u"MSysAccessObjects", 0, 4, tables_id, 1, 0x00000002, admin_sid, {}, {}},
  };

  // Security ids of the default workgroup as Access writes them in a new file.
  t.security_ids = {
      {0xa7, 0x33},
      {0xa4, 0xf7, 0x46, 0x67, 0xe1, 0x71, 0x67, 0xee, 0xd7, 0xb1, 0x0f, 0x8f, 0xfe, 0xef, 0x76, 0xff, 0xaa, 0xe3,
       0x66, 0x51, 0x05, 0xbd, 0xd2, 0x9d, 0x4d, 0x4b, 0x39, 0x52, 0xd9, 0xfb, 0x9a, 0x07, 0x66, 0x0c, 0x5b, 0xd2,
       0xd8, 0x7d, 0xdd, 0xb3, 0x1e, 0x65, 0x90, 0x19, 0x00, 0x94, 0x89, 0xc2, 0x3c, 0x25, 0x6a, 0xcf, 0xdb, 0x34,
       0x9a, 0x57, 0xaf, 0x50, 0xc5, 0x14, 0x9a, 0x98, 0x30, 0xe6, 0x2c, 0x35, 0x55, 0x3f, 0x0e, 0x95, 0xcf, 0xb6,
       0xec, 0xb5, 0x70, 0xb2, 0xf0, 0xa9, 0x9b, 0x1c, 0xdb, 0xce, 0x60, 0x74, 0x7b, 0x7b, 0x13, 0xcf, 0x1d, 0xaf,
       0xc3, 0xd6, 0x18, 0x5f, 0x9c, 0x5b, 0xe4, 0xe8, 0x7e, 0x37, 0xed, 0xb3},  // the Admins group
      {0xa6, 0x33},
      {0xa7, 0x36},
      {0xa7, 0x31},
  };

  t.aces = {
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

  t.sort_version = 0;  // the "General" order of Access 2000-2007
  // After the masked block: values every Access 2000 file carries.
  t.header = {{0x98, {0x54, 0x06, 0x00, 0x00}}, {0x9c, {'4', '.', '0', 0}}};
  return t;
}

}  // namespace

const jet_database_template& jet_access2000_template() {
  static const jet_database_template t = make_template();
  return t;
}
