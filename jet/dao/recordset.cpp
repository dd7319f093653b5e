// Queries and recordsets of the engine's DAO: a whole table read or
// appended to, or the count of a query's rows.
#include "jet/dao/com_objects.h"
#include "jet/dao/query_text.h"
#include "jet/dao/variant_values.h"
#include "jet/file/data_page.h"
#include "jet/format/column_type.h"
#include "jet/format/format.h"
#include "jet/table/row.h"
#include "jet/table/value_cell.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cwctype>

namespace {

// Storage a value keeps from record to record; more is given back.
constexpr size_t kept_value_bytes = 64 * 1024;

void give_back_large(jet_value& value) {
  if (value.text.capacity() > kept_value_bytes / 2) std::u16string().swap(value.text);
  if (value.bytes.capacity() > kept_value_bytes) std::vector<uint8_t>().swap(value.bytes);
}

// A value emptied to Null; a large text or byte buffer is given back.
void make_null(jet_value& value, uint8_t type) {
  value.type = type;
  value.is_null = true;
  value.integer = 0;
  value.real = 0;
  give_back_large(value);
  value.text.clear();
  value.bytes.clear();
}

// Types whose value is all in jet_value's numbers: no text, no bytes.
bool is_scalar(uint8_t type) {
  return type == jet_type::boolean || (jet_type::fixed_size(type) != 0 && type != jet_type::guid &&
                                       type != jet_type::numeric);
}

// Exchanges two values member by member, storage included.
void swap_values(jet_value& a, jet_value& b) {
  std::swap(a.type, b.type);
  std::swap(a.is_null, b.is_null);
  std::swap(a.integer, b.integer);
  std::swap(a.real, b.real);
  a.text.swap(b.text);
  a.bytes.swap(b.bytes);
}

// The rows a recordset shows and the record being added. A table's rows are
// kept as row pointers and decoded one at a time, so that reading a large
// table does not hold all of it (long values included) in memory.
struct jd_rows : jd_value_source {
  jd_session_ptr session;
  jet_table_def def;  // of the table read or added to
  std::vector<jet_column> columns;
  std::vector<jd_field_def> fields;
  std::vector<std::u16string> folded_names;  // of the fields, for Collect by name
  std::vector<uint32_t> pointers;            // of a table's rows, in reading order
  std::vector<std::vector<jet_value>> computed;  // rows not read from a table (a count)
  long position = 0;  // -1 before the first row, size() after the last
  bool adding = false;
  // The record being added. A field not set since AddNew is Null; it is
  // emptied only when the record is read or stored (settle), so AddNew
  // costs nothing per field, and a field set again is simply overwritten.
  std::vector<jet_value> pending;
  std::vector<uint8_t> set_since_add_new;  // per field
  std::vector<VARTYPE> natural_types;      // per field, jd_natural_type of its column
  jet_value scratch;  // a value being converted; its storage serves value after value

  // Finding fields by name: the names differ even upper-cased (as a table's
  // must), so the search may start where the last one left off; setting the
  // fields of record after record in one order then finds each at once.
  bool names_unique = false;
  size_t next_name = 0;

  // The size check of a record being added (see jd_recordset). The stored
  // length of a text or binary value is at most a known function of its
  // length, so a record whose longest possible layout fits a page needs no
  // exact layout; only a table whose columns all have the usual layout is
  // bounded this way.
  bool size_bounded = false;
  size_t empty_record_size = 0;         // the layout of a record of Nulls
  std::vector<size_t> longest_stored;   // per column, what its value may add
  size_t longest_stored_total = 0;

  size_t find(const VARIANT& item) {
    if (item.vt == VT_I4 && item.lVal >= 0 && size_t(item.lVal) < folded_names.size()) return size_t(item.lVal);
    if (item.vt != VT_BSTR || !names_unique) return jd_item_position(item, folded_names, true);
    const size_t count = folded_names.size();
    const char16_t* wanted = item.bstrVal ? item.bstrVal : u"";
    const size_t length = SysStringLen(item.bstrVal);
    for (size_t k = 0; k < count; ++k) {
      const size_t at = (next_name + k) % count;
      if (same_folded(wanted, length, folded_names[at])) {
        next_name = at + 1;
        return at;
      }
    }
    throw jet_error(3265, jd_text::item_not_found);
  }

  // Learns how names are found and records bounded once the fields are known.
  void prepare() {
    std::vector<std::u16string> sorted(folded_names);
    std::sort(sorted.begin(), sorted.end());
    names_unique = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
    longest_stored.assign(columns.size(), 0);
    natural_types.clear();
    for (const jet_column& column : columns) natural_types.push_back(jd_natural_type(column.type));
    size_bounded = computed.empty() && has_usual_layout();
    if (size_bounded) empty_record_size = jet_join_row(def, std::vector<jet_cell>(columns.size())).size();
  }

 private:
  // `wanted` upper-cased as jd_fold does equals `folded`.
  static bool same_folded(const char16_t* wanted, size_t length, const std::u16string& folded) {
    if (length != folded.size()) return false;
    for (size_t i = 0; i < length; ++i) {
      const char16_t c = wanted[i], f = folded[i];
      // ASCII other than small letters is its own upper case in every locale.
      if (c == f && f < 0x80 && !(f >= u'a' && f <= u'z')) continue;
      if (char16_t(std::towupper(wint_t(c))) != f) return false;
    }
    return true;
  }
  // Fixed columns of their type's own size, variable ones holding text or
  // bytes, and every column one a new row has.
  bool has_usual_layout() const {
    if (def.columns.size() != columns.size()) return false;
    for (const jet_column& column : columns) {
      if (column.number >= def.max_columns) return false;
      if (column.type == jet_type::boolean) continue;
      if (column.is_fixed()) {
        const uint32_t size = jet_type::fixed_size(column.type);
        if (size == 0 || column.length > size) return false;
      } else if (column.type != jet_type::text && column.type != jet_type::memo && column.type != jet_type::binary &&
                 column.type != jet_type::long_binary) {
        return false;
      }
    }
    return true;
  }

 public:

  size_t size() const { return computed.empty() ? pointers.size() : computed.size(); }
  bool has_current() const { return position >= 0 && size_t(position) < size(); }

  // Starts a new record: every field Null.
  void start_record() {
    if (pending.size() != columns.size()) {
      pending.resize(columns.size());
      set_since_add_new.assign(columns.size(), 0);
    }
    std::fill(set_since_add_new.begin(), set_since_add_new.end(), 0);
    longest_stored_total = 0;
    adding = true;
  }
  // The fields of the record being added not set since AddNew become Null.
  void settle() {
    for (size_t i = 0; i < pending.size(); ++i) {
      if (set_since_add_new[i]) continue;
      make_null(pending[i], columns[i].type);
      longest_stored[i] = 0;
      set_since_add_new[i] = 1;
    }
  }

  void read(size_t at, VARIANT* out) override {
    if (at >= columns.size()) throw jet_error(3265, jd_text::item_not_found);
    if (adding) {
      settle();
      return jd_value_to_variant(columns[at], pending[at], out);
    }
    if (!has_current()) throw jet_error(3021, jd_text::no_current_record);
    jd_value_to_variant(columns[at], current()[at], out);
  }

 private:
  const std::vector<jet_value>& current() {
    if (!computed.empty()) return computed[size_t(position)];
    if (cached_at_ != position) {
      const jet_pager& pager = session->db().pager();
      jet_fetched_row row = jet_fetch_row(pager, pointers[size_t(position)], def.page);
      if (row.slot.overflow) row = jet_fetch_row(pager, row.bytes().u32(0), def.page, true);
      cached_ = jet_decode_row(pager, def, row.bytes());
      cached_at_ = position;
    }
    return cached_;
  }

  long cached_at_ = -1;
  std::vector<jet_value> cached_;
};

// The tables a query reads must exist and be local.
void check_sources(jet_database& db, const jd_query& query) {
  if (query.inner) return check_sources(db, *query.inner);
  const jet_catalog_entry* entry = db.find_table(query.table);
  if (!entry) {
    throw jet_error(3078, "The Microsoft Jet database engine cannot find the input table or query '" +
                              platform::utf16_to_utf8(query.table) +
                              "'.  Make sure it exists and that its name is spelled correctly.");
  }
  if (!entry->is_local_table()) throw jet_error(3251, jd_text::not_supported);
}

// The rows a query gives, counted without reading them.
long query_row_count(jet_database& db, const jd_query& query) {
  if (query.count) return 1;
  const jet_catalog_entry* entry = db.find_table(query.table);
  if (!entry) throw jet_error(3078, "The Microsoft Jet database engine cannot find the input table or query.");
  return long(db.table_def(*entry).row_count);
}

// The one field of a count, named as Jet names an unnamed expression.
jet_column count_column() {
  jet_column column;
  column.name = u"Expr1000";
  column.type = jet_type::long_integer;
  column.length = 4;
  return column;
}

jd_field_def count_field() {
  jd_field_def field;
  field.name = u"Expr1000";
  field.type = dbLong;
  field.size = 4;
  field.attributes = dbFixedField;
  return field;
}

class jd_recordset : public jd_object<Recordset> {
 public:
  jd_recordset(const jd_session_ptr& session, const jd_query& query, LONG options)
      : jd_object(session->errors()), session_(session), rows_(std::make_shared<jd_rows>()) {
    rows_->session = session;
    jet_database& db = session->db();
    if (query.count) {
      rows_->columns.push_back(count_column());
      rows_->fields.push_back(count_field());
      jet_value count = jet_value::null(jet_type::long_integer);
      count.is_null = false;
      count.integer = query.inner ? query_row_count(db, *query.inner) : query_row_count(db, jd_query{false, query.table, {}});
      rows_->computed.push_back({count});
      rows_->folded_names.push_back(jd_fold(rows_->fields[0].name));
      rows_->prepare();
      return;
    }
    const jet_catalog_entry entry = session->table(query.table);
    table_ = query.table;
    session->open_table(table_);
    rows_->def = db.table_def(entry);
    const jet_table_def& def = rows_->def;
    rows_->columns = def.columns;
    rows_->fields = jd_stored_fields(db, entry, def);
    for (const jd_field_def& field : rows_->fields) rows_->folded_names.push_back(jd_fold(field.name));
    rows_->prepare();
    updatable_ = (options & dbReadOnly) == 0;
    // An append-only recordset shows only what it adds.
    if (options & dbAppendOnly) return;
    jet_table_cursor cursor(db.pager(), def);
    std::vector<uint8_t> stored;
    while (cursor.next_stored(stored)) rows_->pointers.push_back(cursor.position());
  }

  ~jd_recordset() override {
    try {
      release_table();
    } catch (...) {
      // Released without Close: the error is lost; Close reports it.
    }
  }

  HRESULT AddNew() override {
    return guard([&] {
      open();
      if (!updatable_) throw jet_error(3027, jd_text::read_only);
      if (!writing_) {
        writer_ = &session_->acquire_writer(table_);
        writing_ = true;
      }
      // The values of the last record keep their storage for this one's.
      rows_->start_record();
      return S_OK;
    });
  }
  HRESULT get_Collect(VARIANT item, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return guard([&] {
      open();
      rows_->read(position(item), value);
      return S_OK;
    });
  }
  HRESULT put_Collect(VARIANT item, VARIANT value) override {
    return guard([&] {
      open();
      if (!rows_->adding) throw jet_error(3020, jd_text::no_add_new);
      const size_t at = position(item);
      const jet_column& column = rows_->columns[at];
      jet_value& pending = rows_->pending[at];
      uint8_t& set = rows_->set_since_add_new[at];
      const VARTYPE natural = rows_->natural_types[at];
      if (value.vt == natural && natural != VT_EMPTY) {
        // A value of the field's own type: nothing to change, and nothing
        // to put back, as the value is checked before it is taken.
        if (natural != VT_BSTR) {
          jd_value_from_natural(format(), column, value, pending);
          set = 1;
          return S_OK;
        }
        const size_t longest = longest_text_stored(format(), column.type, SysStringLen(value.bstrVal));
        const size_t total = rows_->longest_stored_total - (set ? rows_->longest_stored[at] : 0) + longest;
        if (rows_->size_bounded && rows_->empty_record_size + total <= format().max_row_size()) {
          give_back_large(pending);
          jd_value_from_natural(format(), column, value, pending);
          set = 1;
          rows_->longest_stored[at] = longest;
          rows_->longest_stored_total = total;
          return S_OK;
        }
      }
      if (is_scalar(column.type)) {
        // Converted in place; a failed conversion leaves the field as it was.
        // Such values cannot take a record past what a page holds.
        const uint8_t type = pending.type;
        const bool is_null = pending.is_null;
        const int64_t integer = pending.integer;
        const double real = pending.real;
        try {
          jd_value_from_variant(format(), column, value, pending);
        } catch (...) {
          pending.type = type;
          pending.is_null = is_null;
          pending.integer = integer;
          pending.real = real;
          throw;
        }
        set = 1;
        return S_OK;
      }
      jd_value_from_variant(format(), column, value, rows_->scratch);
      swap_values(pending, rows_->scratch);
      // Only text and binary data can take a record past what a page holds.
      if (jet_type::fixed_size(column.type)) {
        set = 1;
        return S_OK;
      }
      const size_t longest = longest_stored(format(), column, pending);
      const size_t before = set ? rows_->longest_stored[at] : 0;
      const size_t total = rows_->longest_stored_total - before + longest;
      const uint8_t was_set = set;
      set = 1;
      if (!rows_->size_bounded || rows_->empty_record_size + total > format().max_row_size()) {
        try {
          rows_->settle();
          check_record_size();
        } catch (...) {
          swap_values(pending, rows_->scratch);
          set = was_set;
          throw;
        }
      }
      give_back_large(rows_->scratch);
      rows_->longest_stored[at] = longest;
      rows_->longest_stored_total = total;
      return S_OK;
    });
  }
  HRESULT Update(LONG, VARIANT_BOOL) override {
    return guard([&] {
      open();
      if (!rows_->adding) throw jet_error(3020, jd_text::no_add_new);
      rows_->settle();
      check_required();
      // The writer this recordset's AddNew acquired lives while the session
      // is open (open() saw to that); it saves finding it by name each record.
      (writing_ ? *writer_ : session_->writer(table_)).append(rows_->pending);
      rows_->adding = false;
      ++appended_;
      return S_OK;
    });
  }
  HRESULT MoveFirst() override {
    return guard([&] {
      open();
      rows_->adding = false;
      if (rows_->size() == 0) throw jet_error(3021, jd_text::no_current_record);
      rows_->position = 0;
      return S_OK;
    });
  }
  HRESULT MoveNext() override {
    return guard([&] {
      open();
      rows_->adding = false;
      if (rows_->position >= long(rows_->size())) throw jet_error(3021, jd_text::no_current_record);
      ++rows_->position;
      return S_OK;
    });
  }
  HRESULT MovePrevious() override {
    return guard([&] {
      open();
      rows_->adding = false;
      if (rows_->position < 0 || rows_->size() == 0) throw jet_error(3021, jd_text::no_current_record);
      --rows_->position;
      return S_OK;
    });
  }
  HRESULT get_BOF(VARIANT_BOOL* bof) override {
    if (!bof) return E_POINTER;
    return guard([&] {
      open();
      *bof = rows_->size() == 0 || rows_->position < 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT get_EOF(VARIANT_BOOL* eof) override {
    if (!eof) return E_POINTER;
    return guard([&] {
      open();
      *eof = rows_->position >= long(rows_->size()) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT get_RecordCount(LONG* count) override {
    if (!count) return E_POINTER;
    return guard([&] {
      open();
      *count = LONG(rows_->size() + appended_);
      return S_OK;
    });
  }
  HRESULT get_Fields(Fields** fields) override {
    if (!fields) return E_POINTER;
    *fields = nullptr;
    return guard([&] {
      open();
      *fields = jd_make_value_fields(errors(), rows_->fields, rows_);
      return S_OK;
    });
  }
  HRESULT Close() override {
    return guard([&] {
      open();
      closed_ = true;
      rows_->adding = false;
      release_table();
      return S_OK;
    });
  }

 private:
  void open() const {
    if (closed_ || !session_->is_open()) throw jet_error(3420, jd_text::object_closed);
  }
  size_t position(const VARIANT& item) const { return rows_->find(item); }
  const jet_format& format() const { return *rows_->def.format; }
  // What a value may add to a record at most: a text's stored form is never
  // longer than the format's bytes a character (compression only shortens
  // it), a long value adds its reference and, when short, its stored bytes.
  static size_t longest_text_stored(const jet_format& format, uint8_t type, size_t characters) {
    const size_t text_bytes = format.code_page ? characters : characters * 2;
    return type == jet_type::text ? text_bytes
                                  : jet_const::lv_ref_size + std::min<size_t>(text_bytes, jet_inline_long_value_limit);
  }
  static size_t longest_stored(const jet_format& format, const jet_column& column, const jet_value& value) {
    if (value.is_null) return 0;
    switch (column.type) {
      case jet_type::text:
      case jet_type::memo: return longest_text_stored(format, column.type, value.text.size());
      case jet_type::long_binary:
        return jet_const::lv_ref_size + std::min<size_t>(value.bytes.size(), jet_inline_long_value_limit);
      default: return value.bytes.size();
    }
  }
  // A Null in a required field (an AutoNumber is given its number by the
  // writer), or an empty text where the field does not allow one.
  void check_required() const {
    for (size_t i = 0; i < rows_->columns.size(); ++i) {
      const jet_column& column = rows_->columns[i];
      const jet_value& value = rows_->pending[i];
      if (!value.is_null && value.text.empty() && rows_->fields[i].zero_length_refused &&
          (column.type == jet_type::text || column.type == jet_type::memo)) {
        throw jet_error(3315, "Field '" + platform::utf16_to_utf8(table_) + "." + platform::utf16_to_utf8(column.name) +
                                  "' cannot be a zero-length string.");
      }
      if (!rows_->pending[i].is_null || !rows_->fields[i].required || column.is_auto_long()) continue;
      if (column.type == jet_type::boolean) continue;  // a Boolean has no Null: it is stored as No
      throw jet_error(3314, "The field '" + platform::utf16_to_utf8(table_) + "." +
                                platform::utf16_to_utf8(column.name) +
                                "' cannot contain a Null value because the Required property for this field is "
                                "set to True.  Enter a value in this field.");
    }
  }
  // The record being added, laid out as it will be stored, must fit a data
  // page: DAO refuses the value that makes it too large when it is set.
  void check_record_size() const {
    std::vector<jet_cell> cells(rows_->columns.size());
    for (size_t i = 0; i < cells.size(); ++i) {
      const jet_column& column = rows_->columns[i];
      const jet_value& value = rows_->pending[i];
      if (!jet_type::is_long_value(column.type)) {
        cells[i] = jet_value_cell(format(), column, value);
        continue;
      }
      if (value.is_null) continue;
      const size_t length = jet_long_value_bytes(format(), column, value).size();
      cells[i].present = true;
      cells[i].bytes.assign(jet_const::lv_ref_size + (length <= jet_inline_long_value_limit ? length : 0), 0);
    }
    if (jet_join_row(rows_->def, cells).size() > format().max_row_size()) throw jet_error(3047, "Record is too large.");
  }
  // Lets go of the table: its writer (rebuilding its indexes when this was
  // the last recordset adding to it) and the hold that keeps it from deletion.
  void release_table() {
    if (table_.empty() || released_) return;
    released_ = true;
    session_->close_table(table_);
    if (writing_ && session_->is_open()) session_->release_writer(table_);
    writing_ = false;
    writer_ = nullptr;
  }

  jd_session_ptr session_;
  std::shared_ptr<jd_rows> rows_;
  std::u16string table_;  // empty for a count
  bool updatable_ = false;
  bool writing_ = false;
  jet_table_writer* writer_ = nullptr;  // the session's, while writing_
  bool closed_ = false;
  bool released_ = false;
  size_t appended_ = 0;
};

class jd_querydef : public jd_object<_QueryDef> {
 public:
  jd_querydef(const jd_session_ptr& session, jd_query query)
      : jd_object(session->errors()), session_(session), query_(std::move(query)) {}

  HRESULT get_Fields(Fields** fields) override {
    if (!fields) return E_POINTER;
    *fields = nullptr;
    return guard([&] {
      if (query_.count) {
        *fields = jd_make_definition_fields(errors(), {count_field()});
        return S_OK;
      }
      const jet_catalog_entry entry = session_->table(query_.table);
      *fields = jd_make_definition_fields(errors(), jd_stored_fields(session_->db(), entry, session_->db().table_def(entry)));
      return S_OK;
    });
  }
  HRESULT OpenRecordset(VARIANT type, VARIANT options, VARIANT, Recordset** recordset) override {
    if (!recordset) return E_POINTER;
    *recordset = nullptr;
    return guard([&] {
      const LONG kind = jd_variant_long(type, dbOpenDynaset);
      if (kind != dbOpenDynaset && kind != dbOpenSnapshot && kind != dbOpenForwardOnly && kind != dbOpenTable)
        throw jet_error(3001, jd_text::invalid_argument);
      LONG flags = jd_variant_long(options, 0);
      if (kind != dbOpenDynaset && kind != dbOpenTable) flags |= dbReadOnly;
      check_sources(session_->db(), query_);
      *recordset = new jd_recordset(session_, query_, flags);
      return S_OK;
    });
  }

 private:
  jd_session_ptr session_;
  jd_query query_;
};

}  // namespace

_QueryDef* jd_make_querydef(const jd_session_ptr& session, const std::u16string& sql) {
  jd_query query = jd_parse_query(sql);
  check_sources(session->db(), query);
  return new jd_querydef(session, std::move(query));
}
