#include "DAO/dao_idx.h"

#include "DAO/dao_args.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_type.h"
#include "OLE/ole_ptr.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

dao_indexes_initializer::dao_indexes_initializer(_TableDef* tabledef, const dao_schema_initializer& schema,
                                                 const udb_indexes& source_indexes, const t_names_map& names_map)
    : tabledef_(tabledef), validator_(source_indexes), schema_(schema), names_map_(names_map) {
  trace(1, "dao_indexes_initializer::ctor");
  TK_CHECK(tabledef_ != nullptr, "dao_idx");
  for (const udb_index& source : source_indexes) {
    if (source.columns.size() > max_index_fields) continue;
    prepared_index index;
    // Index names too are compared without regard to case.
    bool taken = false;
    for (const std::u16string& earlier : index_names_) taken = taken || platform::equal_ignore_case(earlier, source.name);
    const bool replaced = !validator_.is_acceptable(source.name) || taken;
    index.name = replaced ? validator_.get_safe_name(source.name) : source.name;
    index.unique = source.unique;
    index.primary = source.primary;
    if (!prepare_fields(source, index)) continue;
    indexes_.push_back(index);
    if (replaced) {
      trace(1, u"Store generated index name '%s'", index.name.c_str());
      validator_.add_name_in_use(index.name);
    }
    index_names_.push_back(index.name);
  }
}

bool dao_indexes_initializer::prepare_fields(const udb_index& source, prepared_index& index) const {
  for (const std::u16string& column : source.columns) {
    // The map compares without regard to case; a column that kept its own
    // name beside one that differs from it only in case is taken as it is.
    const std::u16string name = schema_.keeps_name(column) ? column : names_map_.get_mapped_name(column);
    // A column the table does not have (an index over an expression) cannot
    // be keyed by Access either.
    if (!schema_.fields().find_field(name)) {
      trace(1, u"Field '%s' cannot be part of index", name.c_str());
      return false;
    }
    const t_ftd& field = schema_.fields().find_field(name, udb_schema::must_exist);
    // Long texts and long binaries (of any declared size 0 too) cannot be keys.
    if (field.type == VT_BLOB || !dao_is_indexable(dao_native_type(field.type, field.size))) {
      trace(1, u"Field '%s' cannot be part of index", field.name.c_str());
      return false;
    }
    index.fields.push_back(name);
  }
  return true;
}

void dao_indexes_initializer::initialize() {
  trace(1, "dao_indexes_initializer::initialize");
  ole_com_ptr<Indexes> dao_indexes;
  dao_check(tabledef_->get_Indexes(dao_indexes.address()));
  dao_require(dao_indexes);
  const size_t count = indexes_.size() < max_indexes ? indexes_.size() : max_indexes;
  for (size_t i = 0; i < count; ++i) create_index(dao_indexes.get(), indexes_[i]);
}

void dao_indexes_initializer::create_index(Indexes* dao_indexes, const prepared_index& index) {
  trace(1, u"Process index %s", index.name.c_str());
  const dao_bstr index_name(index.name);
  ole_com_ptr<_Index> dao_index;
  dao_check(tabledef_->CreateIndex(dao_arg_text(index_name), dao_index.address()));
  dao_require(dao_index);

  dao_result_variant fields_variant;
  dao_check(dao_index->get_Fields(fields_variant.address()));
  const VARIANT& fields_value = fields_variant.get();
  IUnknown* fields_object =
      (fields_value.vt == VT_DISPATCH || fields_value.vt == VT_UNKNOWN) ? fields_value.punkVal : nullptr;
  if (!fields_object) throw dao_unknown_exception();
  ole_com_ptr<IndexFields> index_fields;
  dao_check(fields_object->QueryInterface(IID_IndexFields, index_fields.void_address()));
  dao_require(index_fields);

  for (const std::u16string& name : index.fields) {
    trace(1, u"Process index field %s", name.c_str());
    const t_ftd& descriptor = schema_.fields().find_field(name, udb_schema::must_exist);
    const dao_bstr field_name(name);
    ole_com_ptr<_Field> field;
    dao_check(dao_index->CreateField(dao_arg_text(field_name),
                                     dao_arg_i4(dao_native_type(descriptor.type, descriptor.size)),
                                     dao_arg_i4(static_cast<LONG>(descriptor.size)), field.address()));
    dao_require(field);
    dao_check(index_fields->Append(field.get()));
  }
  dao_check(dao_index->put_Primary(index.primary ? VARIANT_TRUE : VARIANT_FALSE));
  dao_check(dao_index->put_Unique(index.unique ? VARIANT_TRUE : VARIANT_FALSE));
  dao_check(dao_indexes->Append(dao_index.get()));
}
