#include "DAO/dao_db.h"

#include "DAO/dao_args.h"
#include "DAO/dao_bstr.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_idx.h"
#include "DAO/dao_recs.h"
#include "DAO/dao_sche.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace {
bool is_linked(LONG attributes) { return (attributes & dbAttachedTable) != 0; }
bool is_system(LONG attributes) { return (attributes & dbSystemObject) != 0; }
}  // namespace

dao_database::dao_database(const std::u16string& name, Database* database, uint32_t mode)
    : udb_database(name, mode, false) {
  trace(1, u"dao_database::dao_database( %s )", name.c_str());
  TK_CHECK(database != nullptr, "dao_db");
  database->AddRef();
  database_ = ole_com_ptr<Database>(database);

  dao_check(database_->get_TableDefs(tabledefs_.address()));
  dao_require(tabledefs_);
  SHORT count = 0;
  dao_check(tabledefs_->get_Count(&count));
  for (SHORT i = 0; i < count; ++i) {
    ole_com_ptr<_TableDef> tabledef;
    dao_check(tabledefs_->get_Item(dao_arg_i4(i), tabledef.address()));
    dao_require(tabledef);
    dao_bstr table_name;
    dao_check(tabledef->get_Name(table_name.address()));
    LONG attributes = 0;
    dao_check(tabledef->get_Attributes(&attributes));
    const std::u16string text = table_name.to_wstring();
    if (is_linked(attributes)) {
      trace(1, u"Skip linked table '%s'", text.c_str());
    } else if (is_system(attributes)) {
      trace(1, u"Skip system table '%s'", text.c_str());
    } else {
      trace(1, u"Got table: '%s'", text.c_str());
      table_names_.push_back(text);
    }
  }
}

dao_database::~dao_database() {
  trace(1, "dao_database::~dao_database");
  database_->Close();  // nothing more can be done about a failure here
  tabledefs_.reset();
  database_.reset();
}

std::unique_ptr<udb_recordset> dao_database::create_table(const std::u16string& name, const udb_schema& fields,
                                                          const udb_indexes& indexes) {
  trace(1, u"dao_database::create_table (%s)", name.c_str());
  TK_CHECK((open_flags_ & mode_read_only) == 0, "dao_db");
  if (is_table_exist(name)) {
    TK_CHECK((open_flags_ & mode_open_existing_table) != 0, "dao_db");
    return get_table(name, mode_open_existing_table);
  }

  const dao_bstr table_name(name);
  const dao_bstr nothing(std::u16string{});
  ole_com_ptr<_TableDef> tabledef;
  dao_check(database_->CreateTableDef(dao_arg_text(table_name), dao_arg_i4(0), dao_arg_text(nothing),
                                      dao_arg_text(nothing), tabledef.address()));
  dao_require(tabledef);

  dao_schema_initializer schema(tabledef.get(), fields);
  schema.initialize();
  dao_indexes_initializer index_builder(tabledef.get(), schema, indexes, schema.names_map());
  index_builder.initialize();

  trace(1, "Right before Append");
  dao_check(tabledefs_->Append(tabledef.get()));
  tabledef.reset();
  table_names_.push_back(name);
  return get_table(name, 2);
}

bool dao_database::delete_tab(const std::u16string& name) {
  trace(1, u"dao_database::delete_tab(%s)", name.c_str());
  TK_CHECK((open_flags_ & mode_read_only) == 0, "dao_db");
  TK_CHECK(is_table_exist(name), "dao_db");
  const dao_bstr table_name(name);
  dao_check(tabledefs_->Delete(table_name));
  return udb_database::delete_tab(name);
}

std::unique_ptr<udb_recordset> dao_database::get_table(const std::u16string& name, uint32_t flags) {
  trace(1, u"dao_database::get_table(%s, %d)", name.c_str(), static_cast<int>(flags));
  const bool listed = is_table_exist(name);
  const std::u16string select_text = u"SELECT * FROM [" + name + u"]";

  // Linked and system tables are left out of the list but are in the file:
  // for them the answer is null rather than an internal error.
  const dao_bstr table_name(name);
  ole_com_ptr<_TableDef> tabledef;
  const HRESULT found = tabledefs_->get_Item(dao_arg_text(table_name), tabledef.address());
  TK_CHECK(listed || (SUCCEEDED(found) && !tabledef.is_null()), "dao_db");
  dao_check(found);
  trace(1, "Right after tdfs->getItem");
  dao_require(tabledef);
  LONG attributes = 0;
  dao_check(tabledef->get_Attributes(&attributes));
  if (is_linked(attributes) || is_system(attributes)) return nullptr;
  TK_CHECK(listed, "dao_db");

  ole_com_ptr<_QueryDef> querydef = create_query_def(select_text);
  trace(1, "Right after src->CreateQueryDef");
  ole_com_ptr<Recordset> recordset = open_dynaset(querydef.get(), flags);
  auto table = std::make_unique<dao_recordset>(name, recordset.get(), tabledef.get());
  table->set_text_code_page(text_code_page_);
  return table;
}

std::unique_ptr<udb_recordset> dao_database::get_query(const std::u16string& name, const std::u16string& select_text,
                                                       uint32_t flags) {
  trace(1, u"dao_database::get_query(%s, %d)", name.c_str(), static_cast<int>(flags));
  ole_com_ptr<_QueryDef> querydef = create_query_def(select_text);
  ole_com_ptr<Recordset> recordset = open_dynaset(querydef.get(), flags);
  const uint32_t count = get_query_record_count(select_text);
  return std::make_unique<dao_recordset>(name, select_text, recordset.get(), querydef.get(),
                                         static_cast<int32_t>(count));
}

uint32_t dao_database::get_query_record_count(const std::u16string& select_text) {
  trace(1, u"dao_database::get_query_record_count(%s)", select_text.c_str());
  ole_com_ptr<_QueryDef> querydef = create_query_def(u"select count(*) from (" + select_text + u")");
  ole_com_ptr<Recordset> recordset;
  dao_check(querydef->OpenRecordset(dao_arg_i2(dbOpenDynaset), dao_arg_i4(dbReadOnly), dao_arg_missing(),
                                    recordset.address()));
  dao_require(recordset);
  dao_check(recordset->MoveFirst());
  ole_com_ptr<Fields> fields;
  dao_check(recordset->get_Fields(fields.address()));
  dao_require(fields);
  ole_com_ptr<_Field> field;
  dao_check(fields->get_Item(dao_arg_i4(0), field.address()));
  dao_require(field);
  dao_result_variant value;
  dao_check(field->get_Value(value.address()));
  recordset->Close();
  ole_variant count(value.get());
  count.change_type(VT_UI4);  // a 64-bit count comes back as VT_UINT: the same 32 bits
  return static_cast<uint32_t>(count.get_variant().lVal);
}

bool dao_database::test_query(const std::u16string& select_text) {
  trace(1, u"dao_database::test_query(%s)", select_text.c_str());
  try {
    ole_com_ptr<_QueryDef> querydef = create_query_def(select_text);
    ole_com_ptr<Recordset> recordset;
    if (FAILED(querydef->OpenRecordset(dao_arg_i2(dbOpenDynaset), dao_arg_i4(dbDenyWrite), dao_arg_missing(),
                                       recordset.address())) ||
        recordset.is_null()) {
      return false;
    }
    recordset->Close();
    return true;
  } catch (const tk_exception&) {
    return false;
  }
}

ole_com_ptr<_QueryDef> dao_database::create_query_def(const std::u16string& select_text) {
  const dao_bstr temporary(std::u16string{});
  const dao_bstr text(select_text);
  ole_com_ptr<_QueryDef> querydef;
  dao_check(database_->CreateQueryDef(dao_arg_text(temporary), dao_arg_text(text), querydef.address()));
  dao_require(querydef);
  return querydef;
}

ole_com_ptr<Recordset> dao_database::open_dynaset(_QueryDef* querydef, uint32_t flags) {
  const SHORT options = (flags & flag_read_only) ? dbReadOnly : dbAppendOnly;
  ole_com_ptr<Recordset> recordset;
  dao_check(querydef->OpenRecordset(dao_arg_i2(dbOpenDynaset), dao_arg_i2(options), dao_arg_missing(),
                                    recordset.address()));
  dao_require(recordset);
  return recordset;
}
