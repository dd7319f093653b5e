#include "DAO/dao_recs.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "DAO/dao_args.h"
#include "DAO/dao_bstr.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_type.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
constexpr char no_date[] = "0000-00-00";
constexpr char zero_day[] = "1899-12-30";

// The date a date value is written as, found without going through its text
// when the text's reading is certain: the text is "YYYY-MM-DD HH:MM:SS" (or
// the date alone at midnight) for a date Access can hold, or "0000-00-00
// HH:MM:SS" for a time alone, read back as that time on Access's zero day;
// seconds are whole in the text, so milliseconds play no part. False when
// the text must be read.
bool written_date(const SYSTEMTIME& time, DATE& date) {
  if (time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59) return false;
  SYSTEMTIME day = time;
  day.wMilliseconds = 0;
  if (time.wYear == 0 && time.wMonth == 0 && time.wDay == 0) {
    day.wYear = 1899;
    day.wMonth = 12;
    day.wDay = 30;
  } else {
    static const WORD month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.wYear < 100 || time.wYear > 9999 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1) return false;
    const WORD year = time.wYear;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const WORD days = time.wMonth == 2 && leap ? 29 : month_days[time.wMonth - 1];
    if (time.wDay > days) return false;
  }
  return SystemTimeToVariantTime(&day, &date) != FALSE;
}

// How many code units `text` begins with that are ASCII; eight at a time
// where SSE2 is there (every x86-64), else four.
size_t ascii_prefix(const char16_t* text, size_t length) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i high = _mm_set1_epi16(short(0xff80)), zero = _mm_setzero_si128();
  for (; i + 8 <= length; i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(block, high), zero)) != 0xffff) break;
  }
#endif
  for (; i + 4 <= length; i += 4) {
    uint64_t block;
    std::memcpy(&block, text + i, sizeof block);
    if (block & 0xff80ff80ff80ff80ull) break;
  }
  while (i < length && text[i] < 0x80) ++i;
  return i;
}

template <class T>
ole_com_ptr<T> take_reference(T* object) {
  if (object) object->AddRef();
  return ole_com_ptr<T>(object);
}

// Access's own spelling of a default: a date between "#" signs, a text
// between double quotes.
std::u16string unquoted_default(std::u16string text, SHORT dao_type) {
  char16_t quote = 0;
  if (dao_type == dbDate) {
    trace(1, "Got date/time def.value");
    quote = u'#';
  } else if (dao_type == dbText) {
    trace(1, "Got string def.value");
    quote = u'"';
  }
  if (quote && text.size() >= 2 && text.front() == quote && text.back() == quote) {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}
}  // namespace

dao_recordset::dao_recordset(const std::u16string& name, Recordset* recordset, _TableDef* tabledef)
    : udb_recordset(name, true) {
  trace(1, u"dao_recordset::dao_recordset(%s)", name.c_str());
  TK_CHECK(recordset != nullptr, "dao_recs");
  TK_CHECK(tabledef != nullptr, "dao_recs");
  recordset_ = take_reference(recordset);
  tabledef_ = take_reference(tabledef);
  LONG count = 0;
  dao_check(tabledef_->get_RecordCount(&count));
  record_count_ = count;
  trace(1, "Got records count: %d", static_cast<int>(record_count_));
  ole_com_ptr<Fields> fields;
  dao_check(tabledef_->get_Fields(fields.address()));
  init_schema(dao_require(fields));
  init_indexes(tabledef_.get());
  read_eof();
}

dao_recordset::dao_recordset(const std::u16string& name, const std::u16string& select_text, Recordset* recordset,
                             _QueryDef* querydef, int32_t record_count)
    : udb_recordset(name, select_text, true) {
  trace(1, u"dao_recordset::dao_recordset(%s)", name.c_str());
  TK_CHECK(recordset != nullptr, "dao_recs");
  TK_CHECK(querydef != nullptr, "dao_recs");
  recordset_ = take_reference(recordset);
  querydef_ = take_reference(querydef);
  record_count_ = record_count;
  trace(1, "Got records count: %d", static_cast<int>(record_count_));
  ole_com_ptr<Fields> fields;
  dao_check(querydef_->get_Fields(fields.address()));
  init_schema(dao_require(fields));
  read_eof();
}

dao_recordset::~dao_recordset() {
  trace(1, "dao_recordset::dtor");
  current_.reset();
  // A destructor cannot raise: a failed Close is only traced.
  if (FAILED(recordset_->Close())) trace(2, "Failed to close the DAO recordset");
}

void dao_recordset::read_eof() { dao_check(recordset_->get_EOF(&eof_)); }

void dao_recordset::init_schema(Fields* fields) {
  trace(1, "dao_recordset::init_schema");
  SHORT count = 0;
  dao_check(fields->get_Count(&count));
  for (SHORT i = 0; i < count; ++i) {
    ole_com_ptr<_Field> field;
    dao_check(fields->get_Item(dao_arg_i4(i), field.address()));
    dao_require(field);
    SHORT dao_type = 0;
    dao_check(field->get_Type(&dao_type));
    dao_result_variant default_variant;
    dao_check(field->get_DefaultValue(default_variant.address()));
    const std::u16string default_text = ole_variant(default_variant.get()).to_wstring();
    trace(1, u"Field #%d, DAO type=%d, default value=%s", static_cast<int>(i), static_cast<int>(dao_type),
          default_text.c_str());

    ole_variant default_value;
    default_value.from_wstring(unquoted_default(default_text, dao_type), dao_value_type(dao_type));
    const dao_field column(field.get());
    auto descriptor = std::make_unique<t_ftd>(column, default_value, dao_type == dbDate ? 1 : 0);
    if (dao_type == dbGUID) descriptor->default_kind = 1;
    schema_.add(std::move(descriptor));
  }
  trace(1, "End of dao_recordset::init_schema");
}

void dao_recordset::init_indexes(_TableDef* tabledef) {
  trace(1, "dao_recordset::init_indexes");
  ole_com_ptr<Indexes> dao_indexes;
  dao_check(tabledef->get_Indexes(dao_indexes.address()));
  dao_require(dao_indexes);
  SHORT count = 0;
  dao_check(dao_indexes->get_Count(&count));
  trace(1, "Got %d indexes", static_cast<int>(count));
  for (SHORT i = 0; i < count; ++i) {
    trace(1, "Processing index %d", static_cast<int>(i));
    ole_com_ptr<_Index> dao_index;
    dao_check(dao_indexes->get_Item(dao_arg_i4(i), dao_index.address()));
    dao_require(dao_index);
    udb_index index;
    dao_bstr name;
    dao_check(dao_index->get_Name(name.address()));
    index.name = name.to_wstring();
    trace(1, "STEP #1");
    VARIANT_BOOL primary = VARIANT_FALSE, unique = VARIANT_FALSE;
    dao_check(dao_index->get_Primary(&primary));
    dao_check(dao_index->get_Unique(&unique));
    index.primary = primary != VARIANT_FALSE;
    index.unique = unique != VARIANT_FALSE;
    trace(1, "STEP #2");
    dao_result_variant fields_variant;
    dao_check(dao_index->get_Fields(fields_variant.address()));
    const VARIANT& fields_value = fields_variant.get();
    if ((fields_value.vt != VT_DISPATCH && fields_value.vt != VT_UNKNOWN) || !fields_value.punkVal) {
      throw dao_unknown_exception();
    }
    ole_com_ptr<IndexFields> index_fields;
    dao_check(fields_value.punkVal->QueryInterface(IID_IndexFields, index_fields.void_address()));
    dao_require(index_fields);
    trace(1, "STEP #3");
    SHORT field_count = 0;
    dao_check(index_fields->get_Count(&field_count));
    for (SHORT k = 0; k < field_count; ++k) {
      dao_result_variant item;
      dao_check(index_fields->get_Item(dao_arg_i4(k), item.address()));
      const VARIANT& item_value = item.get();
      if ((item_value.vt != VT_DISPATCH && item_value.vt != VT_UNKNOWN) || !item_value.punkVal) {
        throw dao_unknown_exception();
      }
      ole_com_ptr<_Field> field;
      dao_check(item_value.punkVal->QueryInterface(IID__Field, field.void_address()));
      dao_require(field);
      dao_bstr field_name;
      dao_check(field->get_Name(field_name.address()));
      index.columns.push_back(field_name.to_wstring());
      trace(1, u"got index field: %s", index.columns.back().c_str());
    }
    indexes_.add(index);
    trace(1, "STEP #4");
  }
  trace(1, "End of dao_recordset::init_indexes");
}

void dao_recordset::append_record(udb_record& record) {
  // Checked once a record: the lines below cost nothing while the trace is off.
  const bool details = trace_writes(1);
  if (details) trace(1, "dao_recordset::append_record");
  fields_left_empty_.clear();
  convert_record(record);
  // Checked before AddNew so that a refused record leaves no new record pending.
  if (record.size() != schema_.size()) {
    throw tk_exception("The structures of data source does not conform to the destination table.", 0);
  }
  if (!order_checked_) {
    if (!fields_follow_schema()) item_form_ = item_form::name;
    order_checked_ = true;
  }
  dao_check(recordset_->AddNew());
  if (details) trace(1, "\tAdd blank DAO record");
  unstorable_in_record_ = 0;

  for (size_t i = 0; i < record.size(); ++i) {
    const t_ftd& column = schema_[i];
    const udb_field& value = record[i];
    const VARTYPE type = value.get_type();
    if (details) {
      trace(1, u"\tAdd field '%s', type=%08X (value=%s)", column.name.c_str(), static_cast<unsigned>(type),
            value.to_wstring().c_str());
    }
    DATE date_written = 0;
    if (column.not_null && (type == VT_EMPTY || type == VT_NULL)) {
      trace(1, "Got NULL value for not null field");
      ole_variant substitute;
      substitute.from_string(std::string(), column.type);
      put_value(i, substitute.get_variant());
    } else if (type == VT_DATE && !details && !value.has_own_text() &&
               written_date(value.get_system_time(), date_written)) {
      // What the text route below gives, without the text; a field read from
      // Access has a text of its own, and the detail trace shows the route.
      VARIANT date;
      VariantInit(&date);
      date.vt = VT_DATE;
      date.date = date_written;
      put_value(i, date);
    } else if (type == VT_DATE) {
      std::string text = value.to_string();
      const size_t at = text.find(no_date);
      if (at != std::string::npos) {
        trace(1, "Null date has been found");
        text.replace(at, sizeof no_date - 1, zero_day);
      }
      ole_variant date;
      date.from_string(text, VT_DATE);
      put_value(i, date.get_variant());
    } else if (type == VT_I1 || type == VT_UI2 || type == VT_UI4 || type == VT_I8 || type == VT_UI8) {
      put_value(i, dao_get_valid_variant(value).get_variant());
    } else {
      put_value(i, value.get_variant());
    }
  }

  ++record_count_;
  if (details) trace(1, "Commit new record into database");
  dao_check(recordset_->Update(dbUpdateRegular, VARIANT_FALSE));
  unstorable_text_values_ += unstorable_in_record_;
}

void dao_recordset::set_text_code_page(const platform::code_page_table* code_page) {
  text_code_page_ = code_page;
  std::u16string ascii(0x80, u'\0');
  for (char16_t c = 0; c < 0x80; ++c) ascii[c] = c;
  code_page_has_ascii_ = code_page && code_page->represents(ascii);
}

bool dao_recordset::fields_follow_schema() {
  ole_com_ptr<Fields> fields;
  if (FAILED(recordset_->get_Fields(fields.address())) || !fields.get()) return false;
  SHORT count = 0;
  if (FAILED(fields->get_Count(&count)) || size_t(count) != schema_.size()) return false;
  for (SHORT i = 0; i < count; ++i) {
    ole_com_ptr<_Field> field;
    if (FAILED(fields->get_Item(dao_arg_i4(i), field.address())) || !field.get()) return false;
    dao_bstr name;
    if (FAILED(field->get_Name(name.address())) || name.to_wstring() != schema_[size_t(i)].name) return false;
  }
  return true;
}

const dao_bstr& dao_recordset::field_name(size_t column) {
  if (field_names_.size() != schema_.size()) field_names_.resize(schema_.size());
  const std::u16string& name = schema_[column].name;
  held_name& held = field_names_[column];
  if (!held.bstr || held.text != name) {
    held.bstr = std::make_unique<dao_bstr>(name);
    held.text = name;
  }
  return *held.bstr;
}

HRESULT dao_recordset::put_collect(size_t column, const VARIANT& value) {
  if (item_form_ == item_form::name) return recordset_->put_Collect(dao_arg_text(field_name(column)), value);
  const HRESULT by_position = recordset_->put_Collect(dao_arg_i4(LONG(column)), value);
  if (item_form_ == item_form::position) return by_position;
  // The first value tells whether this DAO takes a field's position: when
  // it refuses one the name is given instead, now and from then on (unless
  // the name fails too, which proves nothing about positions).
  if (SUCCEEDED(by_position)) {
    item_form_ = item_form::position;
    return by_position;
  }
  const HRESULT by_name = recordset_->put_Collect(dao_arg_text(field_name(column)), value);
  item_form_ = SUCCEEDED(by_name) ? item_form::name : item_form::untried;
  return by_name;
}

void dao_recordset::put_value(size_t column, const VARIANT& value) {
  const HRESULT result = item_form_ == item_form::position
                             ? recordset_->put_Collect(dao_arg_i4(LONG(column)), value)
                             : put_collect(column, value);
  if (SUCCEEDED(result)) {
    if (text_code_page_ && value.vt == VT_BSTR) {
      // Most text is ASCII throughout, which such a code page always holds.
      std::u16string_view text(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal));
      if (code_page_has_ascii_) text.remove_prefix(ascii_prefix(text.data(), text.size()));
      if (!text.empty() && !text_code_page_->represents(text)) ++unstorable_in_record_;
    }
    return;
  }
  try {
    throw_dao_exception();
  } catch (const dao_exception& error) {
    if (error.text() != record_too_large) throw;
  }
  trace(1, "Record is too large.");
  VARIANT empty;
  VariantInit(&empty);
  dao_check(put_collect(column, empty));
  fields_left_empty_.push_back(schema_[column].name);
}

udb_record* dao_recordset::get_item() {
  current_.reset();
  ole_com_ptr<Fields> fields;
  dao_check(recordset_->get_Fields(fields.address()));
  current_ = std::make_unique<dao_record>(dao_require(fields));
  return current_.get();
}

void dao_recordset::next() {
  dao_check(recordset_->MoveNext());
  read_eof();
}

void dao_recordset::previous() {
  VARIANT_BOOL bof = VARIANT_FALSE;
  dao_check(recordset_->get_BOF(&bof));
  if (bof == VARIANT_FALSE) dao_check(recordset_->MovePrevious());
}

void dao_recordset::rewind() {
  if (record_count_ == 0) return;
  dao_check(recordset_->MoveFirst());
  // Back at the first record, the stream is no longer at its end.
  read_eof();
}

ole_variant dao_get_valid_variant(const ole_variant& value) {
  trace(1, "dao_get_valid_variant");
  trace(1, "ole_variant::get_type");
  VARTYPE target = VT_EMPTY;
  switch (value.get_type()) {
    case VT_I1:
      trace(1, "Converting VT_I1 value to short");
      target = VT_I2;
      break;
    case VT_UI2:
      trace(1, "Converting VT_UI2 value to integer");
      target = VT_I4;
      break;
    case VT_UI4:
      trace(1, "Converting VT_UI4 value to double");
      target = VT_R8;
      break;
    case VT_I8:
    case VT_UI8:
      trace(1, "Converting BIGINT value to double");
      target = VT_R8;
      break;
    default:
      return ole_variant();
  }
  // The value read back from its decimal text: exact for the small types,
  // and for the 64-bit ones the double nearest the number, as the text gives.
  const VARIANT& given = value.get_variant();
  ole_variant converted;
  switch (value.get_type()) {
    case VT_I1: converted = ole_variant(static_cast<short>(given.cVal)); break;
    case VT_UI2: converted = ole_variant(static_cast<int>(given.uiVal)); break;
    case VT_UI4: converted = ole_variant(static_cast<double>(given.ulVal)); break;
    case VT_I8: converted = ole_variant(static_cast<double>(value.get_i8())); break;
    default: converted = ole_variant(static_cast<double>(value.get_ui8())); break;
  }
  TK_CHECK(converted.get_type() == target, "dao_recs");
  if (trace_writes(1)) trace(1, ">>> %s", converted.to_string().c_str());
  return converted;
}
