// The Database object of the engine's DAO: its tables, new table and query
// definitions, and closing the file.
#include "jet/dao/com_objects.h"

namespace {

class jd_database : public jd_object<Database> {
 public:
  explicit jd_database(const jd_session_ptr& session) : jd_object(session->errors()), session_(session) {}

  HRESULT get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = jd_bstr(session_->name());
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT get_CollatingOrder(LONG* order) override {
    if (!order) return E_POINTER;
    *order = 0;
    return guard([&] {
      *order = LONG(session_->db().header().sort_order);
      return S_OK;
    });
  }
  HRESULT get_TableDefs(TableDefs** tabledefs) override {
    if (!tabledefs) return E_POINTER;
    *tabledefs = nullptr;
    return guard([&] {
      session_->db();  // 3420 once closed
      *tabledefs = jd_make_tabledefs(session_);
      return S_OK;
    });
  }
  HRESULT CreateTableDef(VARIANT name, VARIANT attributes, VARIANT source_table, VARIANT connect,
                         _TableDef** tabledef) override {
    if (!tabledef) return E_POINTER;
    *tabledef = nullptr;
    return guard([&] {
      session_->db();
      // Linked tables are not made by this engine.
      if (!jd_variant_text(source_table).empty() || !jd_variant_text(connect).empty())
        throw jet_error(3251, jd_text::not_supported);
      *tabledef = jd_make_new_tabledef(errors(), jd_variant_text(name), jd_variant_long(attributes, 0));
      return S_OK;
    });
  }
  HRESULT CreateQueryDef(VARIANT name, VARIANT sql_text, _QueryDef** querydef) override {
    if (!querydef) return E_POINTER;
    *querydef = nullptr;
    return guard([&] {
      session_->db();
      // Only temporary queries: a named one would be stored in the file.
      if (!jd_variant_text(name).empty()) throw jet_error(3251, jd_text::not_supported);
      *querydef = jd_make_querydef(session_, jd_variant_text(sql_text));
      return S_OK;
    });
  }
  HRESULT Close() override {
    return guard([&] {
      session_->db();
      session_->close();
      return S_OK;
    });
  }

 private:
  jd_session_ptr session_;
};

}  // namespace

Database* jd_make_database(const jd_session_ptr& session) { return new jd_database(session); }
