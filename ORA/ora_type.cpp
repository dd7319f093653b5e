#include "ORA/ora_type.h"

#include "ORA/ora_engi.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

const char16_t ora_dummy::text[] = u"<unsupported type>";

// ---- base ----

ora_type::ora_type(OCIParam* column, ub2 type_code) : type_code_(type_code) {
  trace(1, "ora_type::ctor(%d)", type_code);
  if (!column) return;
  void* name = nullptr;
  ub4 name_bytes = 0;
  column_attribute(column, OCI_ATTR_NAME, &name, &name_bytes);
  if (name) name_.assign(static_cast<const char16_t*>(name), name_bytes / 2);
  column_attribute(column, OCI_ATTR_IS_NULL, &nullable_);
}

ora_type::~ora_type() {
  if (define_ && ora_engine::instance()) ora_engine::oci().handle_free(define_, OCI_HTYPE_DEFINE);
}

void ora_type::column_attribute(OCIParam* column, ub4 attribute, void* value, ub4* size) {
  ora_engine::check_status(
      ora_engine::oci().attr_get(column, OCI_DTYPE_PARAM, value, size, attribute, ora_engine::error_handle()));
}

void ora_type::define_buffer(OCIStmt* statement, ub4 position, ub4 rows, void* buffer, sb4 size,
                             ub2 external_type, ub2* fetched_lengths) {
  // Slots follow each other at the value size, as an array define lays them out.
  indicators_.assign(rows, 0);
  slot_ = 0;
  ora_engine::check_status(ora_engine::oci().define_by_pos(statement, &define_, ora_engine::error_handle(),
                                                           position, buffer, size, external_type,
                                                           indicators_.data(), fetched_lengths, nullptr,
                                                           OCI_DEFAULT));
}

VARTYPE ora_type::get_vartype() const {
  trace(1, "ora_type::get_vartype()");
  switch (type_code_) {
    case SQLT_NUM: case SQLT_FLT: case SQLT_VNU: case SQLT_PDN:
      return VT_R8;
    case SQLT_INT:
      return VT_I4;
    case SQLT_DAT: case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ:
    case ora_code_timestamp_internal: case ora_code_timestamp_tz_internal:
    case ora_code_timestamp_ltz_internal:
      return VT_DATE;
    case SQLT_BIN: case SQLT_LBI: case SQLT_BLOB: case SQLT_BFILEE:
      return VT_BLOB;
    default:
      return VT_BSTR;
  }
}

std::unique_ptr<t_ftd> ora_type::make_schema_field() const {
  VARTYPE type = get_vartype();
  trace(1, u"Got field '%s', type=%d, vartype=%d, lenght=%d, nullable=%d", name_.c_str(), type_code_, type,
        size_, nullable_);
  return std::make_unique<t_ftd>(size_, name_, type, nullable_ == 0, false, ole_variant(),
                                 type == VT_DATE ? 1 : 0);
}

std::unique_ptr<udb_field> ora_type::make_value_field() {
  ole_variant value;
  to_variant(value);
  return std::make_unique<udb_field>(name_, size_, value);
}

// ---- text ----

ora_string::ora_string(OCIParam* column, ub2) : ora_type(column, SQLT_STR) {
  ub2 data_size = 0;
  column_attribute(column, OCI_ATTR_DATA_SIZE, &data_size);
  size_ = data_size;
  // A column of character length semantics (VARCHAR2(30 CHAR), and every
  // NCHAR and NVARCHAR2) holds so many characters whatever their bytes: its
  // data size counts the bytes of the longest such text (120 for 30 in
  // AL32UTF8), which would make it a wider Text or even a Memo.
  ub1 char_used = 0;
  column_attribute(column, OCI_ATTR_CHAR_USED, &char_used);
  if (char_used) {
    ub2 char_size = 0;
    column_attribute(column, OCI_ATTR_CHAR_SIZE, &char_size);
    if (char_size > 0) {
      size_ = char_size;
      sized_in_characters_ = true;
    }
  }
  // A slot holds UTF-16 units: characters, and bytes of the data size either way.
  slot_units_ = std::max<uint32_t>(size_, data_size) + 1;
  buffer_.assign(slot_units_, u'\0');
}

void ora_string::define(OCIStmt* statement, ub4 position, ub4 rows) {
  buffer_.assign(slot_units_ * rows, u'\0');
  define_buffer(statement, position, rows, buffer_.data(), static_cast<sb4>(slot_units_ * 2), SQLT_STR);
}

void ora_string::to_variant(ole_variant& value) {
  TK_CHECK(!buffer_.empty(), "ora_type");
  char16_t* text = buffer_.data() + slot_ * slot_units_;
  text[slot_units_ - 1] = u'\0';
  value.attach_wstring(std::u16string_view(text));
}

// ---- RAW ----

ora_binary::ora_binary(OCIParam* column, ub2 type_code) : ora_type(column, type_code) {
  ub2 data_size = 0;
  column_attribute(column, OCI_ATTR_DATA_SIZE, &data_size);
  size_ = data_size;
  buffer_.assign(size_, 0);
}

void ora_binary::define(OCIStmt* statement, ub4 position, ub4 rows) {
  buffer_.assign(static_cast<size_t>(size_) * rows, 0);
  fetched_lengths_.assign(rows, 0);
  define_buffer(statement, position, rows, buffer_.data(), static_cast<sb4>(size_), SQLT_BIN,
                fetched_lengths_.data());
}

void ora_binary::to_variant(ole_variant& value) {
  TK_CHECK(!buffer_.empty(), "ora_type");
  // Only the bytes the fetch wrote belong to the value.
  ub2 fetched = fetched_lengths_.empty() ? 0 : fetched_lengths_[slot_];
  size_t length = fetched < size_ ? fetched : size_;
  value.attach_binary(length, buffer_.data() + static_cast<size_t>(slot_) * size_);
}

// ---- values served as text ----

ora_str_repr::ora_str_repr(OCIParam* column, ub2 type_code, uint32_t capacity)
    : ora_type(column, type_code) {
  size_ = capacity;
  if (is_long_raw()) {
    // "0x", two digits per byte, the terminator.
    slot_units_ = 2 + 2 * static_cast<size_t>(capacity) + 1;
    buffer_.assign(slot_units_, u'\0');
    buffer_[0] = u'0';
    buffer_[1] = u'x';
  } else {
    slot_units_ = capacity;
    buffer_.assign(capacity, u'\0');
  }
}

void ora_str_repr::define(OCIStmt* statement, ub4 position, ub4 rows) {
  if (is_long_raw()) {
    // The "0x" in front of the digits leaves room for one value only.
    TK_CHECK(rows == 1, "ora_type");
    define_buffer(statement, position, 1, buffer_.data() + 2, static_cast<sb4>((buffer_.size() - 2) * 2), SQLT_STR);
  } else {
    buffer_.assign(slot_units_ * rows, u'\0');
    define_buffer(statement, position, rows, buffer_.data(), static_cast<sb4>(slot_units_ * 2), SQLT_STR);
  }
}

void ora_str_repr::to_variant(ole_variant& value) {
  char16_t* slot = buffer_.data() + slot_ * slot_units_;
  slot[slot_units_ - 1] = u'\0';
  std::u16string text(slot);
  trace(1, u"ora_str_repr::to_variant (buf=%s)", is_long_raw() ? u"<long raw>" : text.c_str());
  if (is_long_raw())
    value.from_wstring(text, VT_BLOB);
  else
    value.attach_wstring(text);
}

// ---- unsupported ----

ora_dummy::ora_dummy(OCIParam* column) : ora_type(column, SQLT_STR) {
  size_ = sizeof text / sizeof text[0] - 1;
  nullable_ = 0;
}

void ora_dummy::to_variant(ole_variant& value) { value.attach_wstring(text); }

// ---- factory ----

std::unique_ptr<ora_type> make_ora_type(OCIParam* column, ub2 type_code) {
  switch (type_code) {
    case SQLT_CHR: case SQLT_STR: case SQLT_AFC:
      return std::make_unique<ora_string>(column, type_code);
    case SQLT_NUM: case SQLT_INT: case SQLT_FLT: case SQLT_VNU: case SQLT_PDN:
      return std::make_unique<ora_number>(column, type_code);
    case SQLT_IBFLOAT: case SQLT_IBDOUBLE:
      return std::make_unique<ora_float>(column, type_code);
    case SQLT_LNG: case SQLT_LBI:
      return std::make_unique<ora_str_repr>(column, type_code, 1000000);
    case SQLT_RID: case SQLT_RDD: case ora_code_mlslabel:
      return std::make_unique<ora_str_repr>(column, type_code, 255);
    case ora_code_interval_ym_internal: case ora_code_interval_ds_internal:
    case SQLT_INTERVAL_YM: case SQLT_INTERVAL_DS:
      return std::make_unique<ora_str_repr>(column, type_code, 16);
    case SQLT_DAT: case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ:
    case ora_code_timestamp_internal: case ora_code_timestamp_tz_internal:
    case ora_code_timestamp_ltz_internal:
      return std::make_unique<ora_date>(column, type_code);
    case SQLT_BIN:
      return std::make_unique<ora_binary>(column, type_code);
    case SQLT_CLOB: case SQLT_BLOB:
      return std::make_unique<ora_lob>(column, type_code);
    default:
      return std::make_unique<ora_dummy>(column);
  }
}

// ---- row ----

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& columns) {
  for (const auto& column : columns) add(std::make_unique<udb_field>(column->name(), column->size(), ole_variant()));
  refill(columns);
}

void ora_record::refill(const std::vector<std::unique_ptr<ora_type>>& columns) {
  TK_CHECK(columns.size() == fields_.size(), "ora_type");
  // A refilled record is the row's record: its log shows it made afresh.
  trace(1, "ora_record::ctor");
  for (size_t i = 0; i < columns.size(); ++i) {
    ora_type& column = *columns[i];
    // Each value is written over whatever the field held, of whatever type the
    // consumer of the previous row may have changed it to.
    ole_variant& value = *fields_[i];
    if (column.is_null()) {
      trace(1, "Field #%d has NULL value", static_cast<int>(i));
      value.set_empty();
    } else {
      column.to_variant(value);
    }
  }
}
