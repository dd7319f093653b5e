#pragma once
// dao_recordset: a record stream over an Access table or a query result,
// reached through a DAO Recordset. The destination side appends records to
// it; it also reads records (get_item/next). Its schema and indexes are read
// back from the DAO table definition (or the query's fields) when it is
// opened, so that a source table can be checked against an existing one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DAO/dao_bstr.h"
#include "DAO/dao_idl.h"
#include "DAO/dao_rec.h"
#include "OLE/ole_ptr.h"
#include "platform/code_page_table.h"
#include "UDB/udb_rset.h"

class dao_recordset : public udb_recordset {
 public:
  static constexpr char record_too_large[] = "Record is too large.";

  // Over a table; takes its own references.
  dao_recordset(const std::u16string& name, Recordset* recordset, _TableDef* tabledef);
  // Over a query whose record count the caller has counted.
  dao_recordset(const std::u16string& name, const std::u16string& select_text, Recordset* recordset,
                _QueryDef* querydef, int32_t record_count);
  ~dao_recordset() override;

  void append_record(udb_record& record) override;
  // The current record, owned by this recordset until the next call.
  udb_record* get_item() override;
  bool is_eof() override { return eof_ != VARIANT_FALSE; }
  void next() override;
  // Back one record, unless at the beginning.
  void previous();
  void rewind() override;

  // The code page the destination stores text in, when it stores one byte a
  // character; null when it stores any character.
  void set_text_code_page(const platform::code_page_table* code_page);
  // Text values of the records added so far that held characters that code
  // page lacks (the engine stores '?' in their place).
  uint64_t unstorable_text_values() const { return unstorable_text_values_; }
  // Once append_record has returned: the fields it wrote empty because their
  // values would have made the record too large (the record is stored). The driver
  // reports them once the record is in, so that no value goes missing unsaid.
  const std::vector<std::u16string>& fields_left_empty() const { return fields_left_empty_; }

 private:
  void init_schema(Fields* fields);
  void init_indexes(_TableDef* tabledef);
  void read_eof();
  // Writes one value into the new record, naming the schema's field at
  // `column`; a record-too-large failure writes an empty value instead and
  // notes the field.
  void put_value(size_t column, const VARIANT& value);
  // Recordset.Collect of one value: the field named by its position when
  // the recordset's fields follow the schema and DAO takes positions (no
  // name to look up), else by its name.
  HRESULT put_collect(size_t column, const VARIANT& value);
  // Whether the recordset's fields are the schema's, in its order.
  bool fields_follow_schema();
  // The field's name as handed to DAO, made once and kept while the schema's
  // name stays the same.
  const dao_bstr& field_name(size_t column);

  VARIANT_BOOL eof_ = VARIANT_TRUE;
  std::unique_ptr<dao_record> current_;
  struct held_name {
    std::u16string text;
    std::unique_ptr<dao_bstr> bstr;
  };
  std::vector<held_name> field_names_;
  bool order_checked_ = false;
  enum class item_form { untried, position, name };
  item_form item_form_ = item_form::untried;
  ole_com_ptr<Recordset> recordset_;
  ole_com_ptr<_TableDef> tabledef_;
  ole_com_ptr<_QueryDef> querydef_;
  const platform::code_page_table* text_code_page_ = nullptr;
  bool code_page_has_ascii_ = false;  // it has a byte for every ASCII character
  uint64_t unstorable_text_values_ = 0;
  uint32_t unstorable_in_record_ = 0;  // of the record being added
  std::vector<std::u16string> fields_left_empty_;  // of the record last added
};

// A value Access can store in place of one it has no type for: VT_I1 becomes
// VT_I2, VT_UI2 VT_I4, VT_UI4, VT_I8 and VT_UI8 VT_R8. Any other type gives an
// empty value.
ole_variant dao_get_valid_variant(const ole_variant& value);
