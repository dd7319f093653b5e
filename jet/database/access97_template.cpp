// What a new Access 97 database holds: the engine's part of the files
// Access writes in this version (six of the Access 97 samples begin with the
// same pages and catalog rows). The containers and documents Access itself
// uses are here; the rows and tables Access adds when it first opens a file
// (MSysModules, MSysModules2 with its VBA project, MSysAccessObjects) and
// the DataAccessPages container, which only later versions of Access write,
// are not.
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

// Indexes into the security ids below, named by their bytes where the
// samples do not tell more.
constexpr size_t sid_02_01 = 0;
constexpr size_t admins_sid = 1;   // the workgroup's Admins group
constexpr size_t sid_03_01 = 2;    // owner of the objects Access adds
constexpr size_t sid_02_04 = 3;
constexpr size_t sid_02_03 = 4;    // owner of the engine's own objects

const jet_format& format() { return jet_format_jet3(1252); }

jet_property text_property(const char16_t* name, const std::u16string& text) {
  jet_property property;
  property.name = name;
  property.type = jet_type::text;
  property.value = format().encode_text(text);
  return property;
}

jet_database_template make_template() {
  jet_database_template t;
  t.format = &format();
  // Text and Binary columns are 255 bytes long: one byte a character. Column
  // descriptors are stored in number order.
  t.tables = {
      {u"MSysObjects", jet_const::table_type_system,
       {{u"Id", jet_type::long_integer, 0, F, 0, 4, 0},
        {u"ParentId", jet_type::long_integer, 0, F, 4, 4, 1},
        {u"Name", jet_type::text, 0, V, 0, 255, 2},
        {u"Type", jet_type::integer, 1, F, 8, 2, 3},
        {u"DateCreate", jet_type::date_time, 1, F, 10, 8, 4},
        {u"DateUpdate", jet_type::date_time, 1, F, 18, 8, 5},
        {u"Owner", jet_type::binary, 1, S, 0, 255, 6},
        {u"Flags", jet_type::long_integer, 2, F, 26, 4, 7},
        {u"Database", jet_type::memo, 2, V, 0, 0, 8},
        {u"Connect", jet_type::memo, 3, V, 0, 0, 9},
        {u"ForeignName", jet_type::text, 4, V, 0, 255, 10},
        {u"RmtInfoShort", jet_type::binary, 5, V, 0, 255, 11},
        {u"RmtInfoLong", jet_type::long_binary, 6, V, 0, 0, 12},
        {u"Lv", jet_type::long_binary, 7, V, 0, 0, 13},
        {u"LvProp", jet_type::long_binary, 8, V, 0, 0, 14},
        {u"LvModule", jet_type::long_binary, 9, V, 0, 0, 15},
        {u"LvExtra", jet_type::long_binary, 10, V, 0, 0, 16}},
       {{u"Id", {0}, 0x01, 1, true}, {u"ParentIdName", {1, 2}, 0x01, 0, false}}},
      {u"MSysACEs", jet_const::table_type_system,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 0},
        {u"SID", jet_type::binary, 0, S, 0, 255, 1},
        {u"ACM", jet_type::long_integer, 1, F, 4, 4, 2},
        {u"FInheritable", jet_type::boolean, 1, F, 0, 1, 3}},
       {{u"ObjectId", {0}, 0x08, 0, false}}},
      {u"MSysQueries", jet_const::table_type_system,
       {{u"ObjectId", jet_type::long_integer, 0, F, 0, 4, 0},
        {u"Attribute", jet_type::byte, 0, F, 4, 1, 1},
        {u"Order", jet_type::binary, 0, V, 0, 255, 2},
        {u"Name1", jet_type::text, 1, V, 0, 255, 3},
        {u"Name2", jet_type::text, 2, V, 0, 255, 4},
        {u"Expression", jet_type::memo, 3, V, 0, 0, 5},
        {u"Flag", jet_type::integer, 4, F, 5, 2, 6}},
       {{u"ObjectIdAttribute", {0, 1, 2}, 0x01, 0, true}}},
      {u"MSysRelationships", jet_const::table_type_system,
       {{u"szRelationship", jet_type::text, 0, V, 0, 255, 0},
        {u"grbit", jet_type::long_integer, 1, F, 0, 4, 1},
        {u"ccolumn", jet_type::long_integer, 1, F, 4, 4, 2},
        {u"icolumn", jet_type::long_integer, 1, F, 8, 4, 3},
        {u"szObject", jet_type::text, 1, V, 0, 255, 4},
        {u"szColumn", jet_type::text, 2, V, 0, 255, 5},
        {u"szReferencedObject", jet_type::text, 3, V, 0, 255, 6},
        {u"szReferencedColumn", jet_type::text, 4, V, 0, 255, 7}},
       {{u"szObject", {4}, 0x02, 1, false},
        {u"szReferencedObject", {6}, 0x02, 2, false},
        {u"szRelationship", {0}, 0x02, 0, false}}},
  };
  t.fixed_tables = 4;

  // SummaryInfo: Access fills in the file's title and the user's name; a
  // database made without Access has neither, so only the names are listed,
  // as Access lists names no value uses.
  t.objects = {
      {u"Tables", tables_id, -1, root_id, 3, system_flags, sid_02_03, {}, {}},
      {u"Databases", databases_id, -1, root_id, 3, system_flags, sid_02_03, {}, {}},
      {u"Relationships", 0x0f000003, -1, root_id, 3, system_flags, sid_02_03, {}, {}},
      {u"MSysDb", msysdb_id, -1, databases_id, 2, system_flags, sid_03_01,
       {text_property(u"AccessVersion", u"07.53")}, {}},
      {u"MSysObjects", 0, 0, tables_id, 1, system_flags, sid_02_03, {}, {}},
      {u"MSysACEs", 0, 1, tables_id, 1, system_flags, sid_02_03, {}, {}},
      {u"MSysQueries", 0, 2, tables_id, 1, system_flags, sid_02_03, {}, {}},
      {u"MSysRelationships", 0, 3, tables_id, 1, system_flags, sid_02_03, {}, {}},
      {u"SummaryInfo", int32_t(0x80000000), -1, databases_id, database_document, 0, sid_03_01, {},
       {u"Title", u"Author", u"Company"}},
      {u"UserDefined", int32_t(0x80000001), -1, databases_id, database_document, 0, sid_03_01,
       {{u"ReplicateProject", jet_type::boolean, 0, {0x01}}}, {}},
      {u"Forms", int32_t(0x80000002), -1, root_id, 3, 0, sid_03_01, {}, {}},
      {u"Reports", int32_t(0x80000003), -1, root_id, 3, 0, sid_03_01, {}, {}},
      {u"Scripts", int32_t(0x80000004), -1, root_id, 3, 0, sid_03_01, {}, {}},
      {u"Modules", int32_t(0x80000005), -1, root_id, 3, 0, sid_03_01, {}, {}},
      {u"SysRel", int32_t(0x80000006), -1, root_id, 3, 0, sid_03_01, {}, {}},
  };

  // Jet 3's security ids are two bytes long, the Admins group's 102 (that of
  // the workgroup most of the samples were made in).
  t.security_ids = {
      {0x02, 0x01},
      {0x01, 0xc5, 0x54, 0x32, 0x43, 0x62, 0x02, 0x84, 0x1b, 0xdf, 0x56, 0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11,
       0xff, 0x2e, 0x1d, 0xb3, 0xa0, 0x58, 0x06, 0x30, 0x66, 0x94, 0xbb, 0xcd, 0x5a, 0x29, 0xed, 0xbb, 0xdf,
       0x56, 0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11, 0xdf, 0x56, 0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11, 0xdf, 0x56,
       0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11, 0xad, 0xc3, 0xb2, 0xbc, 0xcb, 0x7c, 0xe7, 0xd6, 0xea, 0x33, 0xa3,
       0xa5, 0x55, 0xe5, 0xfb, 0x96, 0xdf, 0x56, 0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11, 0xdf, 0x56, 0x1a, 0x17,
       0x23, 0x6a, 0x4b, 0x11, 0xdf, 0x56, 0x1a, 0x17, 0x23, 0x6a, 0x4b, 0x11, 0xdf, 0x56, 0x1a, 0x17, 0x23},
      {0x03, 0x01},
      {0x02, 0x04},
      {0x02, 0x03},
  };

  // Objects by their place above.
  constexpr size_t tables = 0, databases = 1, relationships = 2, msysdb = 3, objects = 4, aces = 5, queries = 6,
                   relations = 7, summary = 8, user_defined = 9;
  t.aces = {
      {objects, sid_03_01, 0x60000, false},         {aces, sid_03_01, 0x60000, false},
      {queries, sid_03_01, 0x60000, false},         {relations, sid_03_01, 0xe0000, false},
      {tables, sid_02_04, 0xf00fe, true},         {tables, sid_03_01, 0xffeff, true},
      {relationships, sid_02_04, 0xf00fe, true},  {relationships, sid_03_01, 0x60001, false},
      {databases, sid_03_01, 0x60000, false},
      {msysdb, sid_03_01, 0x6000e, false},          {msysdb, sid_02_01, 0xe, false},
      {msysdb, admins_sid, 0x6000e, false},
      {objects, admins_sid, 0x60054, false},        {aces, admins_sid, 0x60054, false},
      {queries, admins_sid, 0x60014, false},        {queries, sid_02_01, 0x14, false},
      {relations, admins_sid, 0x60014, false},      {relations, sid_02_01, 0x14, false},
      {objects, sid_02_01, 0x14, false},
      {tables, admins_sid, 0xffeff, true},          {tables, sid_02_01, 0xffeff, true},
      {relationships, admins_sid, 0xfffff, true},   {relationships, sid_02_01, 0xfffff, true},
      {summary, sid_02_01, 0x10000, false},         {user_defined, sid_02_01, 0x10000, false},
  };
  // Forms, Reports, Scripts, Modules and SysRel: full rights, passed on.
  for (size_t container = 10; container <= 14; ++container)
    for (size_t sid : {sid_02_01, admins_sid, sid_03_01, sid_02_04}) t.aces.push_back({container, sid, 0xfffff, true});

  // Sort version 1, as in seven of the eight samples, and inside the masked
  // block a value of unknown meaning, as those seven hold it.
  t.sort_version = 1;
  t.header = {{0x56, {0x1e, 0x25}}};
  return t;
}

}  // namespace

const jet_database_template& jet_access97_template() {
  static const jet_database_template t = make_template();
  return t;
}
