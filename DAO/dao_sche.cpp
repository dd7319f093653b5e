#include "DAO/dao_sche.h"

#include <memory>

#include "DAO/dao_args.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_recs.h"
#include "DAO/dao_type.h"
#include "OLE/ole_date.h"
#include "OLE/ole_ptr.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

dao_schema_initializer::dao_schema_initializer(_TableDef* tabledef, const udb_schema& source_fields)
    : tabledef_(tabledef), validator_(source_fields) {
  trace(1, "dao_schema_initializer::ctor");
  TK_CHECK(tabledef_ != nullptr, "dao_sche");
  for (size_t i = 0; i < source_fields.size(); ++i) {
    const t_ftd& source = source_fields[i];
    // Access compares names without regard to case: a second "Name" beside
    // "NAME" would refuse the whole table, so it gets a name of its own.
    const bool replaced = !validator_.is_acceptable(source.name) || is_final_name(source.name);
    const std::u16string name = replaced ? validator_.get_safe_name(source.name) : source.name;
    fields_.add(std::make_unique<t_ftd>(source.size, name, source.type, source.not_null, source.auto_increment,
                                        source.default_value, source.default_kind));
    if (replaced) {
      trace(1, u"Store generated column name '%s'", name.c_str());
      validator_.add_name_in_use(name);
      validator_.map_name(source.name, name);
    }
    if (!replaced) kept_names_.push_back(name);
    field_names_.push_back(name);
  }
}

bool dao_schema_initializer::keeps_name(const std::u16string& name) const {
  for (const std::u16string& kept : kept_names_)
    if (kept == name) return true;
  return false;
}

bool dao_schema_initializer::is_final_name(const std::u16string& name) const {
  for (const std::u16string& taken : field_names_)
    if (platform::equal_ignore_case(taken, name)) return true;
  return false;
}

void dao_schema_initializer::initialize() {
  trace(1, "dao_schema_initializer::initialize");
  ole_com_ptr<Fields> dao_fields;
  dao_check(tabledef_->get_Fields(dao_fields.address()));
  dao_require(dao_fields);

  uint32_t total_size = 0;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const t_ftd& descriptor = fields_[i];
    const DataTypeEnum type = dao_native_type(descriptor.type, descriptor.size);
    total_size += descriptor.size;
    trace(1, "Field #%d, type=%d, size=%d, total size=%d", static_cast<int>(i), static_cast<int>(descriptor.type),
          static_cast<int>(descriptor.size), static_cast<int>(total_size));

    const dao_bstr name(descriptor.name);
    ole_com_ptr<_Field> field;
    dao_check(tabledef_->CreateField(dao_arg_text(name), dao_arg_i4(type),
                                     dao_arg_i4(static_cast<LONG>(descriptor.size)), field.address()));
    dao_require(field);
    dao_check(dao_fields->Append(field.get()));
    dao_check(field->put_Required(descriptor.not_null ? VARIANT_TRUE : VARIANT_FALSE));
    dao_check(field->put_AllowZeroLength(VARIANT_TRUE));
    put_default_value(field.get(), descriptor);

    if (type == dbLong && descriptor.auto_increment) {
      LONG attributes = 0;
      dao_check(field->get_Attributes(&attributes));
      dao_check(field->put_Attributes(attributes | dbAutoIncrField));
    }
  }
}

void dao_schema_initializer::put_default_value(_Field* field, const t_ftd& descriptor) {
  const ole_variant& value = descriptor.default_value;
  const std::u16string text = value.to_wstring();
  if (text.empty()) return;
  trace(1, u"Putting default value: (%d, %s)", static_cast<int>(value.get_type()), text.c_str());
  switch (value.get_type()) {
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
      dao_check(field->put_DefaultValue(dao_get_valid_variant(value).get_variant()));
      return;
    case VT_DATE:
    case VT_BSTR: {
      if (value.get_type() == VT_DATE) {
        trace(1, "Got DATE def value");
        const std::u16string canonical = ole_date(text).to_wstring();
        trace(1, u"After canonization: %s", canonical.c_str());
        if (canonical.empty()) return;
      }
      const dao_bstr quoted(quote_def_value(text));
      dao_check(field->put_DefaultValue(dao_arg_text(quoted)));
      return;
    }
    default:
      dao_check(field->put_DefaultValue(value.get_variant()));
      return;
  }
}

std::u16string dao_schema_initializer::quote_def_value(const std::u16string& text) {
  trace(1, u"dao_schema_initializer::quote_def_value(%s)", text.c_str());
  if (text.find(u'"') == std::u16string::npos) return u"\"" + text + u"\"";
  if (text.find(u'\'') == std::u16string::npos) return u"'" + text + u"'";
  std::u16string single = text;
  for (char16_t& c : single) {
    if (c == u'"') c = u'\'';
  }
  return u"\"" + single + u"\"";
}
