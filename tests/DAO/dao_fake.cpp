#include "dao_fake.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "TK/tk_strin.h"
#include "platform/collate.h"

namespace dao_fake {
namespace {

std::atomic<int> live{0};

// DAO's failures reach COM callers as 0x800A0000 plus the error number.
HRESULT dao_error(LONG number) { return static_cast<HRESULT>(0x800A0000u + static_cast<uint32_t>(number)); }

std::string utf8(const std::u16string& text) { return tk_to_utf8(text); }

// Where a file made by the double names its catalog entry.
constexpr size_t disk_tag_at = 0x100;
const std::string disk_tag = "dao_fake:";

std::string disk_bytes(const std::u16string& name) {
  std::ifstream in(utf8(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The entry name the double's file on disk carries; empty for any other file.
std::u16string entry_named_on_disk(const std::u16string& name) {
  const std::string bytes = disk_bytes(name);
  if (bytes.size() < disk_tag_at || bytes.compare(disk_tag_at, disk_tag.size(), disk_tag) != 0) return {};
  const size_t start = disk_tag_at + disk_tag.size();
  return tk_from_utf8(bytes.substr(start, bytes.find('\0', start) - start));
}

bool write_disk_file(const std::u16string& name) {
  // Relative names live in the catalog only: no test leaves files where it runs.
  if (name.empty() || name[0] != u'/') return false;
  std::ofstream out(utf8(name), std::ios::binary);
  if (!out) return false;
  std::string header(4096, '\0');
  header[20] = 1;
  const std::string tag = disk_tag + utf8(name);
  header.replace(disk_tag_at, tag.size(), tag);
  out << header;
  return bool(out);
}

HRESULT raise(LONG number, const std::u16string& description) {
  the_world().error_number = number;
  the_world().error_description = description;
  return dao_error(number);
}

// The planned failure of a member, if any, taken once.
bool planned(const std::string& member, HRESULT* result) {
  auto& failures = the_world().failures;
  auto it = failures.find(member);
  if (it == failures.end()) return false;
  the_world().error_number = it->second.number;
  the_world().error_description = it->second.description;
  *result = it->second.result;
  failures.erase(it);
  return true;
}

bool null_answer(const std::string& member) {
  auto& nulls = the_world().null_answers;
  auto it = std::find(nulls.begin(), nulls.end(), member);
  if (it == nulls.end()) return false;
  nulls.erase(it);
  return true;
}

std::u16string variant_text(const VARIANT& value) { return ole_variant(value).to_wstring(); }

std::string variant_log(const VARIANT& value) {
  if (value.vt == VT_ERROR) return "missing";
  return "vt" + std::to_string(value.vt) + ":" + utf8(variant_text(value));
}

#define FAKE_ENTER(member)                    \
  do {                                        \
    HRESULT planned_result;                   \
    if (planned(member, &planned_result)) return planned_result; \
  } while (0)

template <class I>
const IID& iid_of();
template <> const IID& iid_of<_DBEngine>() { return IID__DBEngine; }
template <> const IID& iid_of<Errors>() { return IID_Errors; }
template <> const IID& iid_of<Error>() { return IID_Error; }
template <> const IID& iid_of<Database>() { return IID_Database; }
template <> const IID& iid_of<TableDefs>() { return IID_TableDefs; }
template <> const IID& iid_of<_TableDef>() { return IID__TableDef; }
template <> const IID& iid_of<Fields>() { return IID_Fields; }
template <> const IID& iid_of<_Field>() { return IID__Field; }
template <> const IID& iid_of<Indexes>() { return IID_Indexes; }
template <> const IID& iid_of<_Index>() { return IID__Index; }
template <> const IID& iid_of<IndexFields>() { return IID_IndexFields; }
template <> const IID& iid_of<_QueryDef>() { return IID__QueryDef; }
template <> const IID& iid_of<Recordset>() { return IID_Recordset; }

// Reference counting and QueryInterface shared by every object of the double.
template <class I>
class object : public I {
 public:
  object() { ++live; }
  virtual ~object() { --live; }
  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_of<I>()) {
      AddRef();
      *out = static_cast<I*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.add_ref(); }
  ULONG Release() override {
    const ULONG left = refs_.release();
    if (left == 0) delete this;
    return left;
  }

 private:
  com_refcount refs_;
};

// Hands a new object out through an out-parameter, or nothing when the
// member was told to answer without one.
template <class I, class Made>
HRESULT hand_out(const std::string& member, Made* made, I** out) {
  if (null_answer(member)) {
    made->Release();
    *out = nullptr;
    return S_OK;
  }
  *out = made;
  return S_OK;
}

bool item_position(const VARIANT& item, size_t* position) {
  if (item.vt == VT_I2) return item.iVal >= 0 ? (*position = static_cast<size_t>(item.iVal), true) : false;
  if (item.vt == VT_I4) return item.lVal >= 0 ? (*position = static_cast<size_t>(item.lVal), true) : false;
  return false;
}

const std::u16string item_not_found = u"Item not found in this collection.";
const std::u16string no_current_record = u"No current record.";

// ---- Errors -------------------------------------------------------------------------

class fake_error : public object<Error> {
 public:
  HRESULT get_Number(LONG* number) override {
    if (the_world().broken_errors_step == 4) return E_FAIL;
    *number = the_world().error_number;
    return S_OK;
  }
  HRESULT get_Description(BSTR* description) override {
    if (the_world().broken_errors_step == 3) return E_FAIL;
    const std::u16string& text = the_world().error_description;
    *description = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }
  HRESULT get_Source(BSTR* source) override {
    *source = SysAllocString(u"DAO.Database");
    return S_OK;
  }
};

class fake_errors : public object<Errors> {
 public:
  HRESULT get_Count(SHORT* count) override {
    *count = the_world().error_number ? 1 : 0;
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, Error** error) override {
    size_t position = 0;
    if (the_world().broken_errors_step == 2 || !item_position(item, &position) || position != 0) {
      *error = nullptr;
      return E_FAIL;
    }
    *error = new fake_error;
    return S_OK;
  }
};

// ---- Fields -------------------------------------------------------------------------

// A field: its definition, and the value of the row it was read from.
class fake_field : public object<_Field> {
 public:
  explicit fake_field(std::shared_ptr<field_def> def, const ole_variant* value = nullptr)
      : def_(std::move(def)), has_value_(value != nullptr) {
    if (value) value_ = *value;
  }
  const std::shared_ptr<field_def>& def() const { return def_; }

  HRESULT get_Name(BSTR* name) override {
    *name = SysAllocStringLen(def_->name.data(), static_cast<UINT>(def_->name.size()));
    return S_OK;
  }
  HRESULT put_Name(BSTR name) override {
    def_->name = name;
    return S_OK;
  }
  HRESULT get_Type(SHORT* type) override {
    *type = def_->type;
    return S_OK;
  }
  HRESULT put_Type(SHORT type) override {
    def_->type = type;
    return S_OK;
  }
  HRESULT get_Size(LONG* size) override {
    *size = def_->size;
    return S_OK;
  }
  HRESULT put_Size(LONG size) override {
    def_->size = size;
    return S_OK;
  }
  HRESULT get_Required(VARIANT_BOOL* required) override {
    *required = def_->required ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Required(VARIANT_BOOL required) override {
    FAKE_ENTER("Field.Required");
    def_->required = required != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_AllowZeroLength(VARIANT_BOOL* allow) override {
    *allow = def_->allow_zero_length ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_AllowZeroLength(VARIANT_BOOL allow) override {
    def_->allow_zero_length = allow != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_DefaultValue(VARIANT* value) override {
    VariantInit(value);
    return VariantCopy(value, &def_->default_value.get_variant());
  }
  HRESULT put_DefaultValue(VARIANT value) override {
    FAKE_ENTER("Field.DefaultValue");
    the_world().calls.push_back("DefaultValue(" + utf8(def_->name) + ", " + variant_log(value) + ")");
    def_->default_value = ole_variant(value);
    return S_OK;
  }
  HRESULT get_Attributes(LONG* attributes) override {
    *attributes = def_->attributes;
    return S_OK;
  }
  HRESULT put_Attributes(LONG attributes) override {
    def_->attributes = attributes;
    return S_OK;
  }
  HRESULT get_Value(VARIANT* value) override {
    if (!has_value_) return raise(3021, no_current_record);
    VariantInit(value);
    return VariantCopy(value, &value_.get_variant());
  }
  HRESULT put_Value(VARIANT) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<field_def> def_;
  bool has_value_;
  ole_variant value_;
};

// The fields of a table definition, or of the current row of a recordset.
class fake_fields : public object<Fields> {
 public:
  fake_fields(std::shared_ptr<table> owner, const std::vector<ole_variant>* row)
      : table_(std::move(owner)), has_row_(row != nullptr) {
    if (row) row_ = *row;
  }

  HRESULT get_Count(SHORT* count) override {
    *count = static_cast<SHORT>(table_->fields.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, _Field** field) override {
    FAKE_ENTER("Fields.Item");
    size_t position = 0;
    if (item.vt == VT_BSTR) {
      const int found = table_->field_position(item.bstrVal);
      if (found < 0) return raise(3265, item_not_found);
      position = static_cast<size_t>(found);
    } else if (!item_position(item, &position) || position >= table_->fields.size()) {
      return raise(3265, item_not_found);
    }
    const ole_variant* value = has_row_ && position < row_.size() ? &row_[position] : nullptr;
    return hand_out("Fields.Item", new fake_field(table_->fields[position], value), field);
  }
  HRESULT Append(IDispatch* object) override {
    FAKE_ENTER("Fields.Append");
    _Field* field = nullptr;
    if (!object || FAILED(object->QueryInterface(IID__Field, reinterpret_cast<void**>(&field)))) return E_INVALIDARG;
    auto def = static_cast<fake_field*>(field)->def();
    field->Release();
    if (table_->field_position(def->name) >= 0) return raise(3191, u"Cannot define field more than once.");
    table_->fields.push_back(def);
    for (auto& row : table_->rows) row.emplace_back();
    the_world().calls.push_back("Fields.Append(" + utf8(def->name) + ")");
    return S_OK;
  }
  HRESULT Delete(BSTR) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<table> table_;
  bool has_row_;                  // read from a recordset's current row
  std::vector<ole_variant> row_;  // a copy of that row
};

// ---- Indexes ------------------------------------------------------------------------

class fake_index_fields : public object<IndexFields> {
 public:
  explicit fake_index_fields(std::shared_ptr<index_def> def) : def_(std::move(def)) {}
  HRESULT get_Count(SHORT* count) override {
    *count = static_cast<SHORT>(def_->fields.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, VARIANT* field) override {
    size_t position = 0;
    if (!item_position(item, &position) || position >= def_->fields.size()) return raise(3265, item_not_found);
    auto named = std::make_shared<field_def>();
    named->name = def_->fields[position];
    VariantInit(field);
    field->vt = VT_DISPATCH;
    field->pdispVal = new fake_field(named);
    return S_OK;
  }
  HRESULT Append(IDispatch* object) override {
    _Field* field = nullptr;
    if (!object || FAILED(object->QueryInterface(IID__Field, reinterpret_cast<void**>(&field)))) return E_INVALIDARG;
    BSTR name = nullptr;
    field->get_Name(&name);
    def_->fields.emplace_back(name, SysStringLen(name));
    SysFreeString(name);
    field->Release();
    return S_OK;
  }
  HRESULT Delete(BSTR) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<index_def> def_;
};

class fake_index : public object<_Index> {
 public:
  explicit fake_index(std::shared_ptr<index_def> def) : def_(std::move(def)) {}
  const std::shared_ptr<index_def>& def() const { return def_; }

  HRESULT get_Name(BSTR* name) override {
    *name = SysAllocStringLen(def_->name.data(), static_cast<UINT>(def_->name.size()));
    return S_OK;
  }
  HRESULT put_Name(BSTR name) override {
    def_->name = name;
    return S_OK;
  }
  HRESULT get_Primary(VARIANT_BOOL* primary) override {
    *primary = def_->primary ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Primary(VARIANT_BOOL primary) override {
    def_->primary = primary != VARIANT_FALSE;
    the_world().calls.push_back("Index.Primary(" + utf8(def_->name) + ")");
    return S_OK;
  }
  HRESULT get_Unique(VARIANT_BOOL* unique) override {
    *unique = def_->unique ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Unique(VARIANT_BOOL unique) override {
    def_->unique = unique != VARIANT_FALSE;
    the_world().calls.push_back("Index.Unique(" + utf8(def_->name) + ")");
    return S_OK;
  }
  HRESULT get_Fields(VARIANT* fields) override {
    VariantInit(fields);
    fields->vt = VT_DISPATCH;
    fields->pdispVal = new fake_index_fields(def_);
    return S_OK;
  }
  HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) override {
    the_world().calls.push_back("Index.CreateField(" + utf8(variant_text(name)) + ", " + variant_log(type) + ", " +
                                variant_log(size) + ")");
    auto def = std::make_shared<field_def>();
    def->name = variant_text(name);
    *field = new fake_field(def);
    return S_OK;
  }

 private:
  std::shared_ptr<index_def> def_;
};

class fake_indexes : public object<Indexes> {
 public:
  explicit fake_indexes(std::shared_ptr<table> owner) : table_(std::move(owner)) {}
  HRESULT get_Count(SHORT* count) override {
    *count = static_cast<SHORT>(table_->indexes.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, _Index** index) override {
    size_t position = 0;
    if (!item_position(item, &position) || position >= table_->indexes.size()) return raise(3265, item_not_found);
    *index = new fake_index(table_->indexes[position]);
    return S_OK;
  }
  HRESULT Append(IDispatch* object) override {
    FAKE_ENTER("Indexes.Append");
    _Index* index = nullptr;
    if (!object || FAILED(object->QueryInterface(IID__Index, reinterpret_cast<void**>(&index)))) return E_INVALIDARG;
    auto def = static_cast<fake_index*>(index)->def();
    index->Release();
    for (const auto& existing : table_->indexes) {
      if (platform::equal_ignore_case(existing->name, def->name)) return raise(3284, u"Index already exists.");
    }
    if (def->fields.empty()) return raise(3264, u"No field defined--cannot append TableDef or Index.");
    table_->indexes.push_back(def);
    the_world().calls.push_back("Indexes.Append(" + utf8(def->name) + ")");
    return S_OK;
  }
  HRESULT Delete(BSTR) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<table> table_;
};

// ---- Table definitions -----------------------------------------------------------------

class fake_tabledef : public object<_TableDef> {
 public:
  explicit fake_tabledef(std::shared_ptr<table> def) : table_(std::move(def)) {}
  const std::shared_ptr<table>& def() const { return table_; }

  HRESULT get_Name(BSTR* name) override {
    *name = SysAllocStringLen(table_->name.data(), static_cast<UINT>(table_->name.size()));
    return S_OK;
  }
  HRESULT put_Name(BSTR name) override {
    table_->name = name;
    return S_OK;
  }
  HRESULT get_Attributes(LONG* attributes) override {
    *attributes = table_->attributes;
    return S_OK;
  }
  HRESULT put_Attributes(LONG attributes) override {
    table_->attributes = attributes;
    return S_OK;
  }
  HRESULT get_RecordCount(LONG* count) override {
    *count = static_cast<LONG>(table_->rows.size());
    return S_OK;
  }
  HRESULT get_Fields(Fields** fields) override {
    FAKE_ENTER("TableDef.Fields");
    return hand_out("TableDef.Fields", new fake_fields(table_, nullptr), fields);
  }
  HRESULT get_Indexes(Indexes** indexes) override {
    *indexes = new fake_indexes(table_);
    return S_OK;
  }
  HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) override {
    FAKE_ENTER("TableDef.CreateField");
    the_world().calls.push_back("CreateField(" + utf8(variant_text(name)) + ", " + variant_log(type) + ", " +
                                variant_log(size) + ")");
    auto def = std::make_shared<field_def>();
    def->name = variant_text(name);
    def->type = static_cast<SHORT>(ole_variant(type).to_long());
    def->size = ole_variant(size).to_long();
    auto stored = the_world().stored_types.find(def->name);
    if (stored != the_world().stored_types.end()) def->type = stored->second;
    return hand_out("TableDef.CreateField", new fake_field(def), field);
  }
  HRESULT CreateIndex(VARIANT name, _Index** index) override {
    FAKE_ENTER("TableDef.CreateIndex");
    auto def = std::make_shared<index_def>();
    def->name = variant_text(name);
    return hand_out("TableDef.CreateIndex", new fake_index(def), index);
  }

 private:
  std::shared_ptr<table> table_;
};

class fake_tabledefs : public object<TableDefs> {
 public:
  explicit fake_tabledefs(std::shared_ptr<database> db) : db_(std::move(db)) {}
  HRESULT get_Count(SHORT* count) override {
    *count = static_cast<SHORT>(db_->tables.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, _TableDef** tabledef) override {
    FAKE_ENTER("TableDefs.Item");
    std::shared_ptr<table> found;
    size_t position = 0;
    if (item.vt == VT_BSTR) {
      for (const auto& t : db_->tables) {
        if (platform::equal_ignore_case(t->name, item.bstrVal)) found = t;
      }
    } else if (item_position(item, &position) && position < db_->tables.size()) {
      found = db_->tables[position];
    }
    if (!found) return raise(3265, item_not_found);
    return hand_out("TableDefs.Item", new fake_tabledef(found), tabledef);
  }
  HRESULT Append(IDispatch* object) override {
    FAKE_ENTER("TableDefs.Append");
    _TableDef* tabledef = nullptr;
    if (!object || FAILED(object->QueryInterface(IID__TableDef, reinterpret_cast<void**>(&tabledef)))) {
      return E_INVALIDARG;
    }
    auto def = static_cast<fake_tabledef*>(tabledef)->def();
    tabledef->Release();
    if (db_->find(def->name)) return raise(3010, u"Table '" + def->name + u"' already exists.");
    if (def->fields.empty()) return raise(3264, u"No field defined--cannot append TableDef or Index.");
    db_->tables.push_back(def);
    the_world().calls.push_back("TableDefs.Append(" + utf8(def->name) + ")");
    return S_OK;
  }
  HRESULT Delete(BSTR name) override {
    the_world().calls.push_back("TableDefs.Delete(" + utf8(name) + ")");
    auto& tables = db_->tables;
    for (auto it = tables.begin(); it != tables.end(); ++it) {
      if (platform::equal_ignore_case((*it)->name, name)) {
        tables.erase(it);
        return S_OK;
      }
    }
    return raise(3265, item_not_found);
  }
  HRESULT Refresh() override { return S_OK; }

 private:
  std::shared_ptr<database> db_;
};

// ---- Recordsets and queries ----------------------------------------------------------

class fake_recordset : public object<Recordset> {
 public:
  fake_recordset(std::shared_ptr<table> source, LONG options)
      : table_(std::move(source)), options_(options),
        // An append-only dynaset shows none of the existing records.
        position_((options & dbAppendOnly) ? static_cast<long>(table_->rows.size()) : 0) {}

  HRESULT AddNew() override {
    FAKE_ENTER("AddNew");
    the_world().calls.push_back("AddNew");
    if (options_ & dbReadOnly) return raise(3027, u"Cannot update.  Database or object is read-only.");
    pending_.assign(table_->fields.size(), ole_variant());
    adding_ = true;
    return S_OK;
  }
  HRESULT get_Collect(VARIANT, VARIANT*) override { return E_NOTIMPL; }
  HRESULT put_Collect(VARIANT item, VARIANT value) override {
    FAKE_ENTER("Collect");
    size_t at = 0;
    if (adding_ && the_world().collect_takes_positions && item_position(item, &at)) {
      if (at >= table_->fields.size()) return raise(3265, item_not_found);
      const std::u16string& name = table_->fields[at]->name;
      the_world().calls.push_back("Collect(#" + std::to_string(at) + ", " + variant_log(value) + ")");
      if (value.vt != VT_EMPTY && platform::equal_ignore_case(the_world().too_large_field, name))
        return raise(3047, u"Record is too large.");
      pending_[at] = ole_variant(value);
      return S_OK;
    }
    if (!adding_ || item.vt != VT_BSTR) return raise(3020, u"Update or CancelUpdate without AddNew or Edit.");
    const int position = table_->field_position(item.bstrVal);
    if (position < 0) return raise(3265, item_not_found);
    the_world().calls.push_back("Collect(" + utf8(item.bstrVal) + ", " + variant_log(value) + ")");
    if (value.vt != VT_EMPTY && platform::equal_ignore_case(the_world().too_large_field, item.bstrVal)) {
      return raise(3047, u"Record is too large.");
    }
    pending_[static_cast<size_t>(position)] = ole_variant(value);
    return S_OK;
  }
  HRESULT Update(LONG update_type, VARIANT_BOOL) override {
    FAKE_ENTER("Update");
    if (!adding_) return raise(3020, u"Update or CancelUpdate without AddNew or Edit.");
    if (update_type != dbUpdateRegular) return E_INVALIDARG;
    for (size_t i = 0; i < table_->fields.size(); ++i) {
      const VARTYPE type = pending_[i].get_type();
      if (table_->fields[i]->required && (type == VT_EMPTY || type == VT_NULL)) {
        return raise(3314, u"The field '" + table_->name + u"." + table_->fields[i]->name +
                               u"' cannot contain a Null value because the Required property for this field is "
                               u"set to True.  Enter a value in this field.");
      }
    }
    table_->rows.push_back(pending_);
    adding_ = false;
    return S_OK;
  }
  HRESULT MoveFirst() override {
    if (visible_rows() == 0) return raise(3021, no_current_record);
    position_ = first_row();
    return S_OK;
  }
  HRESULT MoveNext() override {
    if (position_ >= static_cast<long>(table_->rows.size())) return raise(3021, no_current_record);
    ++position_;
    return S_OK;
  }
  HRESULT MovePrevious() override {
    the_world().calls.push_back("MovePrevious");
    if (position_ < first_row()) return raise(3021, no_current_record);
    --position_;
    return S_OK;
  }
  HRESULT get_BOF(VARIANT_BOOL* bof) override {
    *bof = (visible_rows() == 0 || position_ < first_row()) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_EOF(VARIANT_BOOL* eof) override {
    *eof = (visible_rows() == 0 || position_ >= static_cast<long>(table_->rows.size())) ? VARIANT_TRUE
                                                                                         : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_RecordCount(LONG* count) override {
    *count = static_cast<LONG>(visible_rows());
    return S_OK;
  }
  HRESULT get_Fields(Fields** fields) override {
    const bool current = position_ >= first_row() && position_ < static_cast<long>(table_->rows.size());
    *fields = new fake_fields(table_, current ? &table_->rows[static_cast<size_t>(position_)] : nullptr);
    return S_OK;
  }
  HRESULT Close() override {
    FAKE_ENTER("Recordset.Close");
    the_world().calls.push_back("Recordset.Close");
    return S_OK;
  }

 private:
  long first_row() const { return (options_ & dbAppendOnly) ? first_appended_ : 0; }
  size_t visible_rows() const { return table_->rows.size() - static_cast<size_t>(first_row()); }

  std::shared_ptr<table> table_;
  LONG options_;
  long position_;
  long first_appended_ = position_;
  bool adding_ = false;
  std::vector<ole_variant> pending_;
};

std::u16string upper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

// The statements the layer sends: SELECT * FROM [name] and
// select count(*) from (SELECT * FROM [name]).
class fake_querydef : public object<_QueryDef> {
 public:
  fake_querydef(std::shared_ptr<database> db, std::u16string text) : db_(std::move(db)), text_(std::move(text)) {}

  HRESULT get_Fields(Fields** fields) override {
    std::shared_ptr<table> result;
    const HRESULT status = run(&result);
    if (FAILED(status)) return status;
    *fields = new fake_fields(result, nullptr);
    return S_OK;
  }
  HRESULT OpenRecordset(VARIANT type, VARIANT options, VARIANT, Recordset** recordset) override {
    FAKE_ENTER("OpenRecordset");
    the_world().calls.push_back("OpenRecordset(" + utf8(text_) + ", " + variant_log(type) + ", " +
                                variant_log(options) + ")");
    std::shared_ptr<table> result;
    const HRESULT status = run(&result);
    if (FAILED(status)) return status;
    return hand_out("OpenRecordset", new fake_recordset(result, ole_variant(options).to_long()), recordset);
  }

 private:
  HRESULT run(std::shared_ptr<table>* result) const {
    const std::u16string count_prefix = u"SELECT COUNT(*) FROM (";
    const std::u16string text = upper(text_);
    if (text.rfind(count_prefix, 0) == 0 && text.back() == u')') {
      std::shared_ptr<table> inner;
      const HRESULT status =
          fake_querydef(db_, text_.substr(count_prefix.size(), text_.size() - count_prefix.size() - 1)).run(&inner);
      if (FAILED(status)) return status;
      auto counted = std::make_shared<table>();
      counted->add_field(u"Expr1000", dbLong);
      counted->rows.push_back({ole_variant(static_cast<int>(inner->rows.size()))});
      *result = counted;
      return S_OK;
    }
    const std::u16string select_prefix = u"SELECT * FROM [";
    if (text.rfind(select_prefix, 0) == 0 && text.back() == u']') {
      const std::u16string name = text_.substr(select_prefix.size(), text_.size() - select_prefix.size() - 1);
      if (table* found = db_->find(name)) {
        for (const auto& t : db_->tables) {
          if (t.get() == found) *result = t;
        }
        return S_OK;
      }
      return raise(3078, u"The Microsoft Jet database engine cannot find the input table or query '" + name +
                             u"'.  Make sure it exists and that its name is spelled correctly.");
    }
    return raise(3131, u"Syntax error in FROM clause.");
  }

  std::shared_ptr<database> db_;
  std::u16string text_;
};

class fake_database : public object<Database> {
 public:
  explicit fake_database(std::shared_ptr<database> db) : db_(std::move(db)) {}

  HRESULT get_Name(BSTR* name) override {
    *name = SysAllocString(u"");
    return S_OK;
  }
  HRESULT get_CollatingOrder(LONG* order) override {
    FAKE_ENTER("CollatingOrder");
    *order = db_->collating_order;
    return S_OK;
  }
  HRESULT get_TableDefs(TableDefs** tabledefs) override {
    FAKE_ENTER("TableDefs");
    return hand_out("TableDefs", new fake_tabledefs(db_), tabledefs);
  }
  HRESULT CreateTableDef(VARIANT name, VARIANT attributes, VARIANT source, VARIANT connect,
                         _TableDef** tabledef) override {
    FAKE_ENTER("CreateTableDef");
    the_world().calls.push_back("CreateTableDef(" + utf8(variant_text(name)) + ", " + variant_log(attributes) +
                                ", " + variant_log(source) + ", " + variant_log(connect) + ")");
    auto def = std::make_shared<table>();
    def->name = variant_text(name);
    return hand_out("CreateTableDef", new fake_tabledef(def), tabledef);
  }
  HRESULT CreateQueryDef(VARIANT name, VARIANT text, _QueryDef** querydef) override {
    FAKE_ENTER("CreateQueryDef");
    the_world().calls.push_back("CreateQueryDef(" + utf8(variant_text(name)) + ", " + utf8(variant_text(text)) + ")");
    const std::u16string sql = variant_text(text);
    if (upper(sql).rfind(u"SELECT", 0) != 0) {
      return raise(3129, u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    return hand_out("CreateQueryDef", new fake_querydef(db_, sql), querydef);
  }
  HRESULT Close() override {
    the_world().calls.push_back("Database.Close");
    db_->closed = true;
    return S_OK;
  }

 private:
  std::shared_ptr<database> db_;
};

// ---- The engine and its class factory ----------------------------------------------------

class fake_engine : public object<_DBEngine> {
 public:
  HRESULT get_Errors(Errors** errors) override {
    if (the_world().broken_errors_step == 1) {
      *errors = nullptr;
      return E_FAIL;
    }
    *errors = new fake_errors;
    return S_OK;
  }
  HRESULT CreateDatabase(BSTR name, BSTR locale, VARIANT option, Database** out) override {
    the_world().calls.push_back("CreateDatabase(" + utf8(name) + ", " + utf8(locale) + ", " + variant_log(option) +
                                ")");
    FAKE_ENTER("CreateDatabase");
    if (the_world().file(name)) return raise(3204, u"Database already exists.");
    auto db = std::make_shared<database>();
    the_world().files[name] = db;
    db->has_disk_file = write_disk_file(name);
    return hand_out("CreateDatabase", new fake_database(db), out);
  }
  HRESULT OpenDatabase(BSTR name, VARIANT options, VARIANT read_only, VARIANT connect, Database** out) override {
    the_world().calls.push_back("OpenDatabase(" + utf8(name) + ", " + variant_log(options) + ", " +
                                variant_log(read_only) + ", " + variant_log(connect) + ")");
    FAKE_ENTER("OpenDatabase");
    std::shared_ptr<database> db = the_world().file(name);
    if (!db) return raise(3024, u"Could not find file '" + std::u16string(name) + u"'.");
    return hand_out("OpenDatabase", new fake_database(db), out);
  }
};

class fake_factory : public IClassFactory {
 public:
  fake_factory() { ++live; }
  virtual ~fake_factory() { --live; }
  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      AddRef();
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.add_ref(); }
  ULONG Release() override {
    const ULONG left = refs_.release();
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    fake_engine* engine = new fake_engine;
    const HRESULT result = engine->QueryInterface(riid, object);
    engine->Release();
    return result;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  com_refcount refs_;
};

}  // namespace

field_def& table::add_field(const std::u16string& field_name, SHORT type, LONG size) {
  auto def = std::make_shared<field_def>();
  def->name = field_name;
  def->type = type;
  def->size = size;
  fields.push_back(def);
  for (auto& row : rows) row.emplace_back();
  return *def;
}

int table::field_position(const std::u16string& field_name) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (platform::equal_ignore_case(fields[i]->name, field_name)) return static_cast<int>(i);
  }
  return -1;
}

table& database::add_table(const std::u16string& table_name, LONG attributes) {
  auto t = std::make_shared<table>();
  t->name = table_name;
  t->attributes = attributes;
  tables.push_back(t);
  return *t;
}

table* database::find(const std::u16string& table_name) {
  for (const auto& t : tables) {
    if (platform::equal_ignore_case(t->name, table_name)) return t.get();
  }
  return nullptr;
}

std::shared_ptr<database> world::file(const std::u16string& name) const {
  const std::u16string on_disk = entry_named_on_disk(name);
  auto it = files.find(on_disk.empty() ? name : on_disk);
  if (it == files.end()) return nullptr;
  // The double's own file of that name was renamed away or removed.
  if (on_disk.empty() && it->second->has_disk_file) return nullptr;
  return it->second;
}

database& world::add_file(const std::u16string& name) {
  auto db = std::make_shared<database>();
  files[name] = db;
  return *db;
}

void world::fail_next(const std::string& member, LONG number, const std::u16string& description) {
  failures[member] = planned_failure{number, description, dao_error(number)};
}

void world::fail_next(const std::string& member, HRESULT result) {
  failures[member] = planned_failure{0, u"", result};
}

bool world::called(const std::string& call) const {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

size_t world::count_calls(const std::string& prefix) const {
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                           [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

world& the_world() {
  static world instance;
  return instance;
}

void reset() { the_world() = world(); }

void register_engine(const CLSID& clsid) {
  com_register_class(clsid, [] { return static_cast<IClassFactory*>(new fake_factory); });
}

void unregister_engine(const CLSID& clsid) { com_unregister_class(clsid); }

int live_objects() { return live.load(); }

}  // namespace dao_fake
