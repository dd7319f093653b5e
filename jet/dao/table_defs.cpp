// The table definitions of the engine's DAO objects: TableDefs, TableDef,
// Fields and Field, Indexes, Index and IndexFields. A definition made by
// CreateTableDef is edited in memory until TableDefs.Append creates the
// table; from then on it, like every stored table's, reads the file.
#include "jet/dao/com_objects.h"
#include "jet/dao/variant_values.h"
#include "jet/database/drop_table.h"
#include "jet/database/new_table.h"
#include "jet/format/column_type.h"
#include "jet/format/format.h"
#include "platform/codepage.h"

namespace {

std::u16string bstr_text(BSTR text) { return std::u16string(text ? text : u"", SysStringLen(text)); }

// The attributes DAO gives a new field of a type.
LONG default_attributes(SHORT type) {
  const bool variable = type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary;
  return (variable ? dbVariableField : dbFixedField) | dbUpdatableField;
}

// The data-definition properties of a new field, in the order Access writes
// them: AllowZeroLength only for text, DefaultValue only when there is one.
std::vector<jet_property> field_properties(const jet_format& format, const jd_field_def& def) {
  std::vector<jet_property> properties;
  if (def.type == dbText || def.type == dbMemo)
    properties.push_back(jet_boolean_property(u"AllowZeroLength", def.allow_zero_length));
  properties.push_back(jet_boolean_property(u"Required", def.required));
  if (!def.default_value.empty()) properties.push_back(jet_text_property(format, u"DefaultValue", def.default_value));
  return properties;
}

// ---- Field -----------------------------------------------------------------------------

class jd_field : public jd_object<_Field> {
 public:
  enum class kind { editable, stored, value };

  jd_field(const jd_errors& errors, jd_field_def def, kind how, std::shared_ptr<jd_value_source> source = {},
           size_t position = 0)
      : jd_object(errors), def_(std::move(def)), kind_(how), source_(std::move(source)), position_(position) {}

  const jd_field_def& def() const { return def_; }
  bool editable() const { return kind_ == kind::editable; }

  HRESULT get_Name(BSTR* name) override { return text_out(def_.name, name); }
  HRESULT put_Name(BSTR name) override { return edit([&] { def_.name = bstr_text(name); }); }
  HRESULT get_Type(SHORT* type) override { return out(type, def_.type); }
  HRESULT put_Type(SHORT type) override {
    return edit([&] { def_.type = type; def_.attributes = default_attributes(type) | (def_.attributes & dbAutoIncrField); });
  }
  HRESULT get_Size(LONG* size) override { return out(size, def_.size); }
  HRESULT put_Size(LONG size) override { return edit([&] { def_.size = size; }); }
  HRESULT get_Required(VARIANT_BOOL* required) override { return out(required, flag(def_.required)); }
  HRESULT put_Required(VARIANT_BOOL required) override { return edit([&] { def_.required = required != VARIANT_FALSE; }); }
  HRESULT get_AllowZeroLength(VARIANT_BOOL* allow) override { return out(allow, flag(def_.allow_zero_length)); }
  HRESULT put_AllowZeroLength(VARIANT_BOOL allow) override {
    return edit([&] { def_.allow_zero_length = allow != VARIANT_FALSE; });
  }
  HRESULT get_DefaultValue(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    value->bstrVal = jd_bstr(def_.default_value);
    if (!value->bstrVal) return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    return S_OK;
  }
  HRESULT put_DefaultValue(VARIANT value) override {
    return edit([&] {
      if (jd_is_missing(value)) {
        def_.default_value.clear();
        return;
      }
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) throw jet_error(3421, "Data type conversion error.");
      def_.default_value = bstr_text(text.bstrVal);
      VariantClear(&text);
    });
  }
  HRESULT get_Attributes(LONG* attributes) override { return out(attributes, def_.attributes); }
  HRESULT put_Attributes(LONG attributes) override {
    return edit([&] {
      if ((attributes & dbAutoIncrField) && def_.type != dbLong) throw jet_error(3001, jd_text::invalid_argument);
      def_.attributes = attributes;
    });
  }
  HRESULT get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return guard([&] {
      if (kind_ != kind::value) throw jet_error(3219, jd_text::invalid_operation);
      source_->read(position_, value);
      return S_OK;
    });
  }
  HRESULT put_Value(VARIANT) override {
    return guard([&]() -> HRESULT { throw jet_error(3251, jd_text::not_supported); });
  }

 private:
  static VARIANT_BOOL flag(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
  template <class T>
  static HRESULT out(T* target, T value) {
    if (!target) return E_POINTER;
    *target = value;
    return S_OK;
  }
  static HRESULT text_out(const std::u16string& text, BSTR* target) {
    if (!target) return E_POINTER;
    *target = jd_bstr(text);
    return *target ? S_OK : E_OUTOFMEMORY;
  }
  // A definition can be changed until its table exists.
  template <class Change>
  HRESULT edit(Change&& change) {
    return guard([&] {
      if (kind_ != kind::editable) throw jet_error(3219, jd_text::invalid_operation);
      change();
      return S_OK;
    });
  }

  jd_field_def def_;
  kind kind_;
  std::shared_ptr<jd_value_source> source_;
  size_t position_;
};

jd_field* our_field(IDispatch* object) {
  if (!object) throw jet_error(3001, jd_text::invalid_argument);
  _Field* field = nullptr;
  if (FAILED(object->QueryInterface(IID__Field, reinterpret_cast<void**>(&field))) || !field) {
    throw jet_error(3001, jd_text::invalid_argument);
  }
  jd_ptr<_Field> held(field);
  jd_field* ours = dynamic_cast<jd_field*>(field);
  if (!ours) throw jet_error(3001, jd_text::invalid_argument);
  return ours;
}

// ---- Collections of fields -------------------------------------------------------------

// The field collection of a definition, index or recordset. Appending is
// allowed only on a definition still being made.
template <class I>
class jd_field_list : public jd_object<I> {
 public:
  jd_field_list(const jd_errors& errors, bool appendable) : jd_object<I>(errors), appendable_(appendable) {}

  void add(jd_ptr<jd_field> field) { items_.push_back(std::move(field)); }
  const std::vector<jd_ptr<jd_field>>& items() const { return items_; }

  HRESULT get_Count(SHORT* count) override {
    if (!count) return E_POINTER;
    *count = SHORT(items_.size());
    return S_OK;
  }
  HRESULT Append(IDispatch* object) override {
    return this->guard([&] {
      if (!appendable_) throw jet_error(3219, jd_text::invalid_operation);
      jd_field* field = our_field(object);
      if (field->def().name.empty()) throw jet_error(3264, "No field defined--cannot append TableDef or Index.");
      for (const auto& item : items_)
        if (jd_fold(item->def().name) == jd_fold(field->def().name)) throw jet_error(3191, "Can't define field more than once.");
      items_.push_back(jd_ptr<jd_field>::share(field));
      return S_OK;
    });
  }
  HRESULT Delete(BSTR name) override {
    return this->guard([&] {
      if (!appendable_) throw jet_error(3219, jd_text::invalid_operation);
      items_.erase(items_.begin() + std::ptrdiff_t(position(jd_name_item(name))));
      return S_OK;
    });
  }

 protected:
  size_t position(const VARIANT& item) const { return jd_object_position(item, items_); }

 private:
  bool appendable_;
  std::vector<jd_ptr<jd_field>> items_;
};

class jd_fields : public jd_field_list<Fields> {
 public:
  using jd_field_list::jd_field_list;
  HRESULT get_Item(VARIANT item, _Field** field) override {
    if (!field) return E_POINTER;
    *field = nullptr;
    return guard([&] { return items()[position(item)].hand_out(field); });
  }
};

// DAO hands an index's fields out as VARIANTs holding the field object.
class jd_index_fields : public jd_field_list<IndexFields> {
 public:
  using jd_field_list::jd_field_list;
  HRESULT get_Item(VARIANT item, VARIANT* field) override {
    if (!field) return E_POINTER;
    VariantInit(field);
    return guard([&] {
      IDispatch* object = items()[position(item)].get();
      object->AddRef();
      field->vt = VT_DISPATCH;
      field->pdispVal = object;
      return S_OK;
    });
  }
};

// ---- Index -----------------------------------------------------------------------------

struct jd_index_def {
  std::u16string name;
  bool primary = false;
  bool unique = false;
};

class jd_index : public jd_object<_Index> {
 public:
  jd_index(const jd_errors& errors, jd_index_def def, bool editable)
      : jd_object(errors), def_(std::move(def)), editable_(editable),
        fields_(new jd_index_fields(errors, editable)) {}

  const jd_index_def& def() const { return def_; }
  jd_index_fields& fields() { return *fields_.get(); }

  HRESULT get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = jd_bstr(def_.name);
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT put_Name(BSTR name) override { return edit([&] { def_.name = bstr_text(name); }); }
  HRESULT get_Primary(VARIANT_BOOL* primary) override {
    if (!primary) return E_POINTER;
    *primary = def_.primary ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Primary(VARIANT_BOOL primary) override { return edit([&] { def_.primary = primary != VARIANT_FALSE; }); }
  HRESULT get_Unique(VARIANT_BOOL* unique) override {
    if (!unique) return E_POINTER;
    // A primary key is unique whatever Unique was set to.
    *unique = def_.unique || def_.primary ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Unique(VARIANT_BOOL unique) override { return edit([&] { def_.unique = unique != VARIANT_FALSE; }); }
  HRESULT get_Fields(VARIANT* fields) override {
    if (!fields) return E_POINTER;
    VariantInit(fields);
    IDispatch* object = fields_.get();
    object->AddRef();
    fields->vt = VT_DISPATCH;
    fields->pdispVal = object;
    return S_OK;
  }
  HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) override {
    if (!field) return E_POINTER;
    *field = nullptr;
    return guard([&] {
      jd_field_def def;
      def.name = jd_variant_text(name);
      def.type = SHORT(jd_variant_long(type, dbText));
      def.size = jd_variant_long(size, 0);
      def.attributes = 0;
      *field = new jd_field(errors(), def, jd_field::kind::editable);
      return S_OK;
    });
  }

 private:
  template <class Change>
  HRESULT edit(Change&& change) {
    return guard([&] {
      if (!editable_) throw jet_error(3219, jd_text::invalid_operation);
      change();
      return S_OK;
    });
  }

  jd_index_def def_;
  bool editable_;
  jd_ptr<jd_index_fields> fields_;
};

class jd_indexes : public jd_object<Indexes> {
 public:
  jd_indexes(const jd_errors& errors, bool appendable) : jd_object(errors), appendable_(appendable) {}

  void add(jd_ptr<jd_index> index) { items_.push_back(std::move(index)); }
  const std::vector<jd_ptr<jd_index>>& items() const { return items_; }

  HRESULT get_Count(SHORT* count) override {
    if (!count) return E_POINTER;
    *count = SHORT(items_.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, _Index** index) override {
    if (!index) return E_POINTER;
    *index = nullptr;
    return guard([&] { return items_[position(item)].hand_out(index); });
  }
  HRESULT Append(IDispatch* object) override {
    return guard([&] {
      if (!appendable_) throw jet_error(3219, jd_text::invalid_operation);
      _Index* given = nullptr;
      if (!object || FAILED(object->QueryInterface(IID__Index, reinterpret_cast<void**>(&given))) || !given)
        throw jet_error(3001, jd_text::invalid_argument);
      jd_ptr<_Index> held(given);
      jd_index* index = dynamic_cast<jd_index*>(given);
      if (!index) throw jet_error(3001, jd_text::invalid_argument);
      if (index->fields().items().empty()) throw jet_error(3264, "No field defined--cannot append TableDef or Index.");
      for (const auto& item : items_) {
        if (jd_fold(item->def().name) == jd_fold(index->def().name))
          throw jet_error(3284, "Index already exists.");
        if (item->def().primary && index->def().primary)
          throw jet_error(3283, "Primary key already exists.");
      }
      items_.push_back(jd_ptr<jd_index>::share(index));
      return S_OK;
    });
  }
  HRESULT Delete(BSTR name) override {
    return guard([&] {
      if (!appendable_) throw jet_error(3219, jd_text::invalid_operation);
      items_.erase(items_.begin() + std::ptrdiff_t(position(jd_name_item(name))));
      return S_OK;
    });
  }

 private:
  size_t position(const VARIANT& item) const { return jd_object_position(item, items_); }

  bool appendable_;
  std::vector<jd_ptr<jd_index>> items_;
};

// ---- TableDef --------------------------------------------------------------------------

class jd_tabledef : public jd_object<_TableDef> {
 public:
  // A definition being made.
  jd_tabledef(const jd_errors& errors, std::u16string name, LONG attributes)
      : jd_object(errors), name_(std::move(name)), attributes_(attributes),
        new_fields_(new jd_fields(errors, true)), new_indexes_(new jd_indexes(errors, true)) {}
  // A table of the database.
  jd_tabledef(const jd_session_ptr& session, std::u16string name)
      : jd_object(session->errors()), session_(session), name_(std::move(name)) {}

  bool is_new() const { return !session_; }

  // Creates the table from the definition, which then stands for it.
  void create_in(const jd_session_ptr& session) {
    if (!is_new()) throw jet_error(3219, jd_text::invalid_operation);
    if (attributes_ & (dbAttachedTable | dbAttachedODBC)) throw jet_error(3251, jd_text::not_supported);
    if (new_fields_->items().empty()) throw jet_error(3264, "No field defined--cannot append TableDef or Index.");
    std::vector<jet_new_column> columns;
    std::vector<std::vector<jet_property>> properties;
    for (const auto& field : new_fields_->items()) {
      const jd_field_def& def = field->def();
      jet_new_column column;
      column.name = def.name;
      if (def.type < dbBoolean || def.type > dbMemo) throw jet_error(3259, "Invalid field data type.");
      column.type = uint8_t(def.type);
      column.size = uint16_t(def.size < 0 || def.size > 0xffff ? 0 : def.size);
      if (def.type == dbText && def.size == 0) column.size = 255;  // DAO's size for a text field left unsized
      column.required = def.required;
      column.auto_increment = (def.attributes & dbAutoIncrField) != 0;
      columns.push_back(column);
      properties.push_back(field_properties(session->db().format(), def));
    }
    std::vector<jet_new_index> indexes;
    for (const auto& index : new_indexes_->items()) {
      jet_new_index spec;
      spec.name = index->def().name;
      spec.primary = index->def().primary;
      spec.unique = index->def().unique || index->def().primary;
      spec.required = index->def().primary;
      for (const auto& field : index->fields().items())
        spec.columns.emplace_back(field->def().name, (field->def().attributes & dbDescending) == 0);
      indexes.push_back(spec);
    }
    jet_create_table(session->db(), name_, columns, indexes, properties);
    session_ = session;
    new_fields_ = jd_ptr<jd_fields>();
    new_indexes_ = jd_ptr<jd_indexes>();
  }

  HRESULT get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = jd_bstr(name_);
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT put_Name(BSTR name) override {
    return guard([&] {
      if (!is_new()) throw jet_error(3251, jd_text::not_supported);  // renaming a stored table
      name_ = bstr_text(name);
      return S_OK;
    });
  }
  HRESULT get_Attributes(LONG* attributes) override {
    if (!attributes) return E_POINTER;
    return guard([&] {
      *attributes = is_new() ? attributes_ : LONG(session_->table(name_).dao_attributes());
      return S_OK;
    });
  }
  HRESULT put_Attributes(LONG attributes) override {
    return guard([&] {
      if (!is_new()) throw jet_error(3219, jd_text::invalid_operation);
      attributes_ = attributes;
      return S_OK;
    });
  }
  HRESULT get_RecordCount(LONG* count) override {
    if (!count) return E_POINTER;
    return guard([&] {
      if (is_new()) {
        *count = 0;
        return S_OK;
      }
      const jet_catalog_entry entry = session_->table(name_);
      *count = entry.is_local_table() ? LONG(session_->db().table_def(entry).row_count) : -1;
      return S_OK;
    });
  }
  HRESULT get_Fields(Fields** fields) override {
    if (!fields) return E_POINTER;
    *fields = nullptr;
    return guard([&] {
      if (is_new()) return new_fields_.hand_out(fields);
      const jet_catalog_entry entry = session_->table(name_);
      std::vector<jd_field_def> defs;
      if (entry.is_local_table()) defs = jd_stored_fields(session_->db(), entry, session_->db().table_def(entry));
      *fields = jd_make_definition_fields(errors(), defs);
      return S_OK;
    });
  }
  HRESULT get_Indexes(Indexes** indexes) override {
    if (!indexes) return E_POINTER;
    *indexes = nullptr;
    return guard([&] {
      if (is_new()) return new_indexes_.hand_out(indexes);
      *indexes = stored_indexes();
      return S_OK;
    });
  }
  HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) override {
    if (!field) return E_POINTER;
    *field = nullptr;
    return guard([&] {
      jd_field_def def;
      def.name = jd_variant_text(name);
      def.type = SHORT(jd_variant_long(type, dbText));
      def.size = jd_variant_long(size, 0);
      def.attributes = default_attributes(def.type);
      *field = new jd_field(errors(), def, jd_field::kind::editable);
      return S_OK;
    });
  }
  HRESULT CreateIndex(VARIANT name, _Index** index) override {
    if (!index) return E_POINTER;
    *index = nullptr;
    return guard([&] {
      jd_index_def def;
      def.name = jd_variant_text(name);
      *index = new jd_index(errors(), def, true);
      return S_OK;
    });
  }

 private:
  Indexes* stored_indexes() {
    jd_ptr<jd_indexes> list(new jd_indexes(errors(), false));
    const jet_catalog_entry entry = session_->table(name_);
    Indexes* out = nullptr;
    if (!entry.is_local_table()) {
      list.hand_out(&out);
      return out;
    }
    const jet_table_def def = session_->db().table_def(entry);
    const std::vector<jd_field_def> columns = jd_stored_fields(session_->db(), entry, def);
    // Definitions keep their indexes in name order; DAO lists them in the
    // order they were made, which their numbers keep.
    std::vector<const jet_logical_index*> made;
    for (const jet_logical_index& logical : def.indexes) made.push_back(&logical);
    std::stable_sort(made.begin(), made.end(),
                     [](const jet_logical_index* a, const jet_logical_index* b) { return a->number < b->number; });
    for (const jet_logical_index* listed : made) {
      const jet_logical_index& logical = *listed;
      if (logical.real_index >= def.real_indexes.size()) throw jet_corrupt(session_->db().path(), "index without its entries");
      const jet_real_index& real = def.real_indexes[logical.real_index];
      jd_index_def index_def;
      index_def.name = logical.name;
      index_def.primary = logical.type == jet_const::index_type_primary;
      index_def.unique = (real.flags & jet_const::index_flag_unique) != 0;
      jd_ptr<jd_index> index(new jd_index(errors(), index_def, false));
      for (const jet_index_column& key : real.columns) {
        size_t at = 0;
        while (at < def.columns.size() && def.columns[at].number != key.column_number) ++at;
        if (at == def.columns.size()) throw jet_corrupt(session_->db().path(), "index names a missing column");
        jd_field_def field = columns[at];
        field.attributes = key.ascending ? 0 : dbDescending;
        index->fields().add(jd_ptr<jd_field>(new jd_field(errors(), field, jd_field::kind::stored)));
      }
      list->add(index);
    }
    list.hand_out(&out);
    return out;
  }

  jd_session_ptr session_;  // null while the definition is being made
  std::u16string name_;
  LONG attributes_ = 0;
  jd_ptr<jd_fields> new_fields_;
  jd_ptr<jd_indexes> new_indexes_;
};

// ---- TableDefs -------------------------------------------------------------------------

class jd_tabledefs : public jd_object<TableDefs> {
 public:
  explicit jd_tabledefs(const jd_session_ptr& session) : jd_object(session->errors()), session_(session) {}

  HRESULT get_Count(SHORT* count) override {
    if (!count) return E_POINTER;
    return guard([&] {
      *count = SHORT(session_->db().tables().size());
      return S_OK;
    });
  }
  HRESULT get_Item(VARIANT item, _TableDef** tabledef) override {
    if (!tabledef) return E_POINTER;
    *tabledef = nullptr;
    return guard([&] {
      std::vector<std::u16string> names;
      for (const jet_catalog_entry* entry : session_->db().tables()) names.push_back(entry->name);
      *tabledef = jd_make_stored_tabledef(session_, names[jd_item_position(item, names)]);
      return S_OK;
    });
  }
  HRESULT Append(IDispatch* object) override {
    return guard([&] {
      jd_append_tabledef(session_, object);
      return S_OK;
    });
  }
  HRESULT Delete(BSTR name) override {
    return guard([&] {
      const std::u16string table = bstr_text(name);
      if (session_->is_in_use(table)) {
        throw jet_error(3211, "The database engine couldn't lock table '" + platform::utf16_to_utf8(table) +
                                  "' because it's already in use by another person or process.");
      }
      jet_delete_table(session_->db(), table);
      return S_OK;
    });
  }
  HRESULT Refresh() override {
    return guard([&] {
      session_->db().reload_catalog();
      return S_OK;
    });
  }

 private:
  jd_session_ptr session_;
};

// The text a property holds (Text and Memo values are UTF-16).
std::u16string property_text(const jet_format& format, const jet_property& property) {
  if (property.type == dbBoolean || property.type == dbByte) return property.value.empty() || !property.value[0] ? u"0" : u"1";
  return format.decode_text(property.value.data(), property.value.size());
}

bool property_flag(const jet_property& property) {
  for (uint8_t byte : property.value)
    if (byte) return true;
  return false;
}

}  // namespace

std::vector<jd_field_def> jd_stored_fields(jet_database& db, const jet_catalog_entry& table, const jet_table_def& def) {
  const std::vector<jet_property_block> blocks = db.properties(table);
  std::vector<jd_field_def> fields;
  for (const jet_column& column : def.columns) {
    jd_field_def field;
    field.name = column.name;
    field.type = column.type == jet_type::numeric ? SHORT(dbDecimal) : SHORT(column.type);
    field.size = jd_column_size(db.format(), column);
    field.required = !column.is_nullable();
    field.attributes = column.is_fixed() || column.type == jet_type::boolean ? dbFixedField : dbVariableField;
    if (column.is_auto_long()) field.attributes |= dbAutoIncrField;
    else field.attributes |= dbUpdatableField;
    for (const jet_property_block& block : blocks) {
      if (block.is_object || !jet_same_name(block.name, column.name)) continue;
      if (const jet_property* p = block.find(u"Required")) field.required = property_flag(*p);
      if (const jet_property* p = block.find(u"AllowZeroLength")) {
        field.allow_zero_length = property_flag(*p);
        field.zero_length_refused = !field.allow_zero_length;
      }
      if (const jet_property* p = block.find(u"DefaultValue")) field.default_value = property_text(db.format(), *p);
    }
    fields.push_back(field);
  }
  return fields;
}

Fields* jd_make_definition_fields(const jd_errors& errors, const std::vector<jd_field_def>& fields) {
  jd_ptr<jd_fields> list(new jd_fields(errors, false));
  for (const jd_field_def& def : fields) list->add(jd_ptr<jd_field>(new jd_field(errors, def, jd_field::kind::stored)));
  Fields* out = nullptr;
  list.hand_out(&out);
  return out;
}

Fields* jd_make_value_fields(const jd_errors& errors, const std::vector<jd_field_def>& fields,
                             const std::shared_ptr<jd_value_source>& source) {
  jd_ptr<jd_fields> list(new jd_fields(errors, false));
  for (size_t i = 0; i < fields.size(); ++i)
    list->add(jd_ptr<jd_field>(new jd_field(errors, fields[i], jd_field::kind::value, source, i)));
  Fields* out = nullptr;
  list.hand_out(&out);
  return out;
}

TableDefs* jd_make_tabledefs(const jd_session_ptr& session) { return new jd_tabledefs(session); }

_TableDef* jd_make_new_tabledef(const jd_errors& errors, const std::u16string& name, LONG attributes) {
  return new jd_tabledef(errors, name, attributes);
}

_TableDef* jd_make_stored_tabledef(const jd_session_ptr& session, const std::u16string& name) {
  return new jd_tabledef(session, name);
}

void jd_append_tabledef(const jd_session_ptr& session, IDispatch* object) {
  _TableDef* given = nullptr;
  if (!object || FAILED(object->QueryInterface(IID__TableDef, reinterpret_cast<void**>(&given))) || !given)
    throw jet_error(3001, jd_text::invalid_argument);
  jd_ptr<_TableDef> held(given);
  jd_tabledef* tabledef = dynamic_cast<jd_tabledef*>(given);
  if (!tabledef) throw jet_error(3001, jd_text::invalid_argument);
  tabledef->create_in(session);
}
