#pragma once
// What the engine's DAO objects share: reference counting and
// QueryInterface, the engine's Errors list that every failing member fills,
// the open database behind a Database object, and the makers of the objects
// one file hands to another.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DAO/dao_idl.h"
#include "jet/database/database.h"
#include "jet/database/table_writer.h"
#include "jet/format/error.h"

// ---- Errors --------------------------------------------------------------------------

struct jd_error_entry {
  LONG number = 0;
  std::u16string description;
};

// The failures of the last member that failed, shared by the engine and
// every object it made.
struct jd_error_list {
  std::vector<jd_error_entry> entries;
};
using jd_errors = std::shared_ptr<jd_error_list>;

// DAO's failure answer: the error number in the control facility.
inline HRESULT jd_hresult(LONG number) { return static_cast<HRESULT>(0x800A0000u | (static_cast<ULONG>(number) & 0xffff)); }

std::u16string jd_widen(const char* utf8);

// Records one failure and answers its HRESULT.
HRESULT jd_fail(const jd_errors& errors, LONG number, const std::u16string& description);
HRESULT jd_fail(const jd_errors& errors, const jet_error& error);

// Runs a member's body; engine failures become DAO errors in the list.
template <class Body>
HRESULT jd_guard(const jd_errors& errors, Body&& body) {
  try {
    return body();
  } catch (const jet_error& error) {
    return jd_fail(errors, error);
  } catch (const std::bad_alloc&) {
    return jd_fail(errors, 7, u"Out of memory.");
  } catch (const std::exception& error) {
    // DAO's text for a failure it has no number for, naming what went wrong.
    return jd_fail(errors, 3000, u"Reserved error (" + jd_widen(error.what()) + u"); there is no message for this error.");
  }
}

// DAO's texts of the conditions the objects meet themselves.
namespace jd_text {
inline constexpr char item_not_found[] = "Item not found in this collection.";
inline constexpr char no_current_record[] = "No current record.";
inline constexpr char invalid_operation[] = "Invalid operation.";
inline constexpr char not_supported[] = "Operation is not supported for this type of object.";
inline constexpr char object_closed[] = "Object invalid or no longer set.";
inline constexpr char read_only[] = "Cannot update. Database or object is read-only.";
inline constexpr char no_add_new[] = "Update or CancelUpdate without AddNew or Edit.";
inline constexpr char invalid_argument[] = "Invalid argument.";
}  // namespace jd_text

// ---- COM plumbing ----------------------------------------------------------------------

template <class I> const IID& jd_iid();
template <> inline const IID& jd_iid<_DBEngine>() { return IID__DBEngine; }
template <> inline const IID& jd_iid<Errors>() { return IID_Errors; }
template <> inline const IID& jd_iid<Error>() { return IID_Error; }
template <> inline const IID& jd_iid<Database>() { return IID_Database; }
template <> inline const IID& jd_iid<TableDefs>() { return IID_TableDefs; }
template <> inline const IID& jd_iid<_TableDef>() { return IID__TableDef; }
template <> inline const IID& jd_iid<Fields>() { return IID_Fields; }
template <> inline const IID& jd_iid<_Field>() { return IID__Field; }
template <> inline const IID& jd_iid<Indexes>() { return IID_Indexes; }
template <> inline const IID& jd_iid<_Index>() { return IID__Index; }
template <> inline const IID& jd_iid<IndexFields>() { return IID_IndexFields; }
template <> inline const IID& jd_iid<_QueryDef>() { return IID__QueryDef; }
template <> inline const IID& jd_iid<Recordset>() { return IID_Recordset; }

// Reference counting and QueryInterface of one interface. Objects start with
// one reference, owned by whoever made them.
template <class I>
class jd_object : public I {
 public:
  explicit jd_object(jd_errors errors) : errors_(std::move(errors)) {}
  jd_object(const jd_object&) = delete;
  jd_object& operator=(const jd_object&) = delete;

  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == jd_iid<I>()) {
      this->AddRef();
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

 protected:
  virtual ~jd_object() = default;
  template <class Body>
  HRESULT guard(Body&& body) { return jd_guard(errors_, std::forward<Body>(body)); }
  const jd_errors& errors() const { return errors_; }

 private:
  jd_errors errors_;
  com_refcount refs_;
};

// One owned reference to a COM object.
template <class T>
class jd_ptr {
 public:
  jd_ptr() = default;
  // Takes over a reference the caller owns.
  explicit jd_ptr(T* object) : object_(object) {}
  jd_ptr(const jd_ptr& other) : object_(other.object_) { if (object_) object_->AddRef(); }
  jd_ptr(jd_ptr&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  jd_ptr& operator=(jd_ptr other) { std::swap(object_, other.object_); return *this; }
  ~jd_ptr() { if (object_) object_->Release(); }

  // A new reference to an object someone else owns.
  static jd_ptr share(T* object) { if (object) object->AddRef(); return jd_ptr(object); }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands one reference out through an out-pointer.
  template <class I>
  HRESULT hand_out(I** out) const {
    object_->AddRef();
    *out = object_;
    return S_OK;
  }

 private:
  T* object_ = nullptr;
};

// ---- The open database -------------------------------------------------------------------

// A database open through OpenDatabase or CreateDatabase, shared by the
// objects made from it. Rows are appended through one writer per table,
// kept while recordsets add to it; closing the last one rebuilds its indexes.
class jd_session {
 public:
  jd_session(jd_errors errors, std::unique_ptr<jet_database> db, std::u16string name);
  ~jd_session();
  jd_session(const jd_session&) = delete;
  jd_session& operator=(const jd_session&) = delete;

  const jd_errors& errors() const { return errors_; }
  const std::u16string& name() const { return name_; }
  // The database; 3420 once closed.
  jet_database& db();
  bool is_open() const { return db_ != nullptr; }

  // A local table by name (3265 when absent); a copy, the catalog may be reread.
  jet_catalog_entry table(const std::u16string& name);

  jet_table_writer& acquire_writer(const std::u16string& table);
  // The writer a recordset acquired.
  jet_table_writer& writer(const std::u16string& table);
  // Recordsets open on a table, which is then not deleted.
  void open_table(const std::u16string& table);
  void close_table(const std::u16string& table);
  bool is_in_use(const std::u16string& table) const;
  // Closes the table's writer when no recordset adds to it any more.
  void release_writer(const std::u16string& table);

  // Closes every writer, then the file; the first failure is raised.
  void close();

 private:
  struct writer_slot {
    std::unique_ptr<jet_table_writer> writer;
    int users = 0;
  };
  jd_errors errors_;
  std::unique_ptr<jet_database> db_;
  std::u16string name_;
  std::map<std::u16string, writer_slot> writers_;  // by upper-cased table name
  std::map<std::u16string, int> readers_;          // open recordsets by upper-cased table name
};
using jd_session_ptr = std::shared_ptr<jd_session>;

// ---- Field definitions -------------------------------------------------------------------

// A field as DAO describes it.
struct jd_field_def {
  std::u16string name;
  SHORT type = dbText;
  LONG size = 0;
  bool required = false;
  bool allow_zero_length = false;
  bool zero_length_refused = false;  // AllowZeroLength stored as No (Access's files may not store it)
  std::u16string default_value;  // Access's own spelling, empty when none
  LONG attributes = 0;
};

// The fields of a stored table, their properties read from the catalog.
std::vector<jd_field_def> jd_stored_fields(jet_database& db, const jet_catalog_entry& table, const jet_table_def& def);

// Upper-cased text for comparing names as Access does.
std::u16string jd_fold(const std::u16string& name);

// A VARIANT item: position (VT_I2/VT_I4) or name (VT_BSTR). Answers the
// position of the matching name among `names`, or 3265. `folded`: the names
// are upper-cased already (jd_fold), as a recordset keeps them.
size_t jd_item_position(const VARIANT& item, const std::vector<std::u16string>& names, bool folded = false);

// The same over a collection's objects, each named by def().name.
template <class Object>
size_t jd_object_position(const VARIANT& item, const std::vector<Object>& objects) {
  std::vector<std::u16string> names;
  names.reserve(objects.size());
  for (const auto& object : objects) names.push_back(object->def().name);
  return jd_item_position(item, names);
}

// A name as a collection item (the BSTR stays the caller's).
inline VARIANT jd_name_item(BSTR name) {
  VARIANT item;
  VariantInit(&item);
  item.vt = VT_BSTR;
  item.bstrVal = name;
  return item;
}

// Optional arguments as Automation passes them.
bool jd_is_missing(const VARIANT& value);
std::u16string jd_variant_text(const VARIANT& value);  // empty when missing
LONG jd_variant_long(const VARIANT& value, LONG fallback);  // 3001 when not a number
bool jd_variant_bool(const VARIANT& value, bool fallback);

BSTR jd_bstr(const std::u16string& text);

// ---- Object makers ------------------------------------------------------------------------

Database* jd_make_database(const jd_session_ptr& session);
// A query on the database; its text is checked here (3000-range errors).
_QueryDef* jd_make_querydef(const jd_session_ptr& session, const std::u16string& sql);
TableDefs* jd_make_tabledefs(const jd_session_ptr& session);
// A table definition not yet in the database.
_TableDef* jd_make_new_tabledef(const jd_errors& errors, const std::u16string& name, LONG attributes);
// A table definition of the database.
_TableDef* jd_make_stored_tabledef(const jd_session_ptr& session, const std::u16string& name);
// A Fields collection over definitions only (no values).
Fields* jd_make_definition_fields(const jd_errors& errors, const std::vector<jd_field_def>& fields);

// Where the fields of a recordset read their values: the current record.
struct jd_value_source {
  virtual ~jd_value_source() = default;
  // The value of the field at `position`; 3021 without a current record.
  virtual void read(size_t position, VARIANT* out) = 0;
};
Fields* jd_make_value_fields(const jd_errors& errors, const std::vector<jd_field_def>& fields,
                             const std::shared_ptr<jd_value_source>& source);
// Creates the table a new definition describes, then binds the definition
// to it; 3219 when the object is not a new table definition of ours.
void jd_append_tabledef(const jd_session_ptr& session, IDispatch* object);
