// The DBEngine of our Access engine, its Errors collection, and the class
// factory registered for it.
#include <cwctype>

#include "jet/dao/com_objects.h"
#include "jet/dao/register.h"
#include "jet/database/new_database.h"
#include "platform/codepage.h"

namespace {

// ---- Errors --------------------------------------------------------------------------

class jd_error_object : public jd_object<Error> {
 public:
  jd_error_object(const jd_errors& errors, jd_error_entry entry) : jd_object(errors), entry_(std::move(entry)) {}
  HRESULT get_Number(LONG* number) override {
    if (!number) return E_POINTER;
    *number = entry_.number;
    return S_OK;
  }
  HRESULT get_Description(BSTR* description) override {
    if (!description) return E_POINTER;
    *description = jd_bstr(entry_.description);
    return *description ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT get_Source(BSTR* source) override {
    if (!source) return E_POINTER;
    *source = jd_bstr(u"DAO.DBEngine");
    return *source ? S_OK : E_OUTOFMEMORY;
  }

 private:
  jd_error_entry entry_;
};

// The errors as they stand when the collection is read.
class jd_errors_object : public jd_object<Errors> {
 public:
  explicit jd_errors_object(const jd_errors& errors) : jd_object(errors) {}
  HRESULT get_Count(SHORT* count) override {
    if (!count) return E_POINTER;
    *count = SHORT(errors()->entries.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT item, Error** error) override {
    if (!error) return E_POINTER;
    *error = nullptr;
    // Reading the errors must not replace them: a bad item only answers failure.
    LONG position = -1;
    if (item.vt == VT_I2) position = item.iVal;
    else if (item.vt == VT_I4) position = item.lVal;
    const auto& entries = errors()->entries;
    if (position < 0 || size_t(position) >= entries.size()) return jd_hresult(3265);
    *error = new jd_error_object(errors(), entries[size_t(position)]);
    return S_OK;
  }
};

// ---- DBEngine ------------------------------------------------------------------------

std::string file_path(BSTR name) {
  const std::u16string text(name ? name : u"", SysStringLen(name));
  if (text.empty()) throw jet_error(3024, "Could not find file ''.");
  return platform::utf16_to_ansi(text);
}

// One DAO generation: the file version its new databases get, and the
// versions it opens.
struct jd_generation {
  uint8_t default_version;  // of a new database made without a version option
  bool opens_jet4;          // DAO 3.5 knows nothing of Access 2000 files
};
constexpr jd_generation dao36 = {jet_const::version_jet4, true};
constexpr jd_generation dao35 = {jet_const::version_jet3, false};

// The format a new database gets: the version option names Jet 3 or Jet 4
// files (the latter only for DAO 3.6); 0 is the engine's own. Files use the
// General sort order, whose code page is 1252.
const jet_format& new_database_format(const jd_generation& generation, const std::u16string& locale, LONG option) {
  if (!locale.empty() && jd_fold(locale) != jd_fold(dbLangGeneral)) throw jet_error(3001, "Invalid argument.");
  uint8_t version = generation.default_version;
  if (option == dbVersion30)
    version = jet_const::version_jet3;
  else if (option == dbVersion40 && generation.opens_jet4)
    version = jet_const::version_jet4;
  else if (option != 0)
    throw jet_error(3001, "Invalid argument.");  // older formats are not written by this engine
  return version == jet_const::version_jet3 ? jet_format_jet3(1252) : jet_format_jet4();
}

class jd_engine : public jd_object<_DBEngine> {
 public:
  explicit jd_engine(const jd_generation& generation)
      : jd_object(std::make_shared<jd_error_list>()), generation_(generation) {}

  HRESULT get_Errors(Errors** out) override {
    if (!out) return E_POINTER;
    *out = new jd_errors_object(errors());
    return S_OK;
  }

  HRESULT CreateDatabase(BSTR name, BSTR locale, VARIANT option, Database** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guard([&] {
      const std::string path = file_path(name);
      const jet_format& format = new_database_format(
          generation_, std::u16string(locale ? locale : u"", SysStringLen(locale)), jd_variant_long(option, 0));
      jet_create_database(path, format);
      // A new database is its maker's alone until it is closed, as with Jet.
      return open(name, path, false, true, out);
    });
  }

  HRESULT OpenDatabase(BSTR name, VARIANT options, VARIANT read_only, VARIANT connect, Database** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guard([&] {
      const std::string path = file_path(name);
      // For a Jet file the options are the exclusive flag.
      const bool exclusive = jd_variant_bool(options, false);
      const std::u16string connect_text = jd_variant_text(connect);
      if (!connect_text.empty() && connect_text.front() != u';') throw jet_error(3170, "Couldn't find installable ISAM.");
      return open(name, path, jd_variant_bool(read_only, false), exclusive, out);
    });
  }

 private:
  HRESULT open(BSTR name, const std::string& path, bool read_only, bool exclusive, Database** out) {
    auto db = std::make_unique<jet_database>(path, read_only, exclusive);
    if (db->format().version == jet_const::version_jet4 && !generation_.opens_jet4) throw jet_unrecognized(path);
    auto session = std::make_shared<jd_session>(errors(), std::move(db),
                                                std::u16string(name, SysStringLen(name)));
    *out = jd_make_database(session);
    return S_OK;
  }

  const jd_generation& generation_;
};

class jd_engine_factory : public IClassFactory {
 public:
  explicit jd_engine_factory(const jd_generation& generation) : generation_(generation) {}
  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      AddRef();
      *out = static_cast<IClassFactory*>(this);
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
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    jd_engine* engine = new jd_engine(generation_);
    const HRESULT result = engine->QueryInterface(riid, out);
    engine->Release();
    return result;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  virtual ~jd_engine_factory() = default;
  const jd_generation& generation_;
  com_refcount refs_;
};

}  // namespace

void jet_register_dao_engine() {
  com_register_class(CLSID_DBEngine36, [] { return static_cast<IClassFactory*>(new jd_engine_factory(dao36)); });
  com_register_class(CLSID_DBEngine35, [] { return static_cast<IClassFactory*>(new jd_engine_factory(dao35)); });
}

// ---- Shared helpers -------------------------------------------------------------------

HRESULT jd_fail(const jd_errors& errors, LONG number, const std::u16string& description) {
  errors->entries.assign(1, jd_error_entry{number, description});
  return jd_hresult(number);
}

HRESULT jd_fail(const jd_errors& errors, const jet_error& error) {
  return jd_fail(errors, error.number(), platform::utf8_to_utf16(error.what()));
}

std::u16string jd_widen(const char* utf8) { return platform::utf8_to_utf16(utf8); }

std::u16string jd_fold(const std::u16string& name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = char16_t(std::towupper(wint_t(c)));
  return folded;
}

size_t jd_item_position(const VARIANT& item, const std::vector<std::u16string>& names, bool folded) {
  LONG position = -1;
  switch (item.vt) {
    case VT_I2: position = item.iVal; break;
    case VT_I4: position = item.lVal; break;
    case VT_UI1: position = item.bVal; break;
    case VT_BSTR: {
      const std::u16string wanted = jd_fold(std::u16string(item.bstrVal ? item.bstrVal : u"", SysStringLen(item.bstrVal)));
      for (size_t i = 0; i < names.size(); ++i)
        if ((folded ? names[i] : jd_fold(names[i])) == wanted) return i;
      break;
    }
    default:
      throw jet_error(3001, jd_text::invalid_argument);
  }
  if (position < 0 || size_t(position) >= names.size()) throw jet_error(3265, jd_text::item_not_found);
  return size_t(position);
}

bool jd_is_missing(const VARIANT& value) {
  return value.vt == VT_EMPTY || value.vt == VT_NULL || value.vt == VT_ERROR;
}

std::u16string jd_variant_text(const VARIANT& value) {
  if (jd_is_missing(value)) return {};
  if (value.vt != VT_BSTR) throw jet_error(3001, jd_text::invalid_argument);
  return std::u16string(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal));
}

LONG jd_variant_long(const VARIANT& value, LONG fallback) {
  if (jd_is_missing(value)) return fallback;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_I4))) throw jet_error(3001, jd_text::invalid_argument);
  return converted.lVal;
}

bool jd_variant_bool(const VARIANT& value, bool fallback) {
  if (jd_is_missing(value)) return fallback;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_BOOL))) throw jet_error(3001, jd_text::invalid_argument);
  return converted.boolVal != VARIANT_FALSE;
}

BSTR jd_bstr(const std::u16string& text) { return SysAllocStringLen(text.data(), UINT(text.size())); }

// ---- The open database ----------------------------------------------------------------

jd_session::jd_session(jd_errors errors, std::unique_ptr<jet_database> db, std::u16string name)
    : errors_(std::move(errors)), db_(std::move(db)), name_(std::move(name)) {}

jd_session::~jd_session() {
  try {
    close();
  } catch (...) {
    // A database released without Close loses the error; Close reports it.
  }
}

jet_database& jd_session::db() {
  if (!db_) throw jet_error(3420, jd_text::object_closed);
  return *db_;
}

jet_catalog_entry jd_session::table(const std::u16string& name) {
  const jet_catalog_entry* entry = db().find_table(name);
  if (!entry) throw jet_error(3265, jd_text::item_not_found);
  return *entry;
}

jet_table_writer& jd_session::acquire_writer(const std::u16string& table_name) {
  writer_slot& slot = writers_[jd_fold(table_name)];
  if (!slot.writer) {
    const jet_catalog_entry entry = table(table_name);
    if (!entry.is_local_table()) throw jet_error(3027, jd_text::read_only);
    slot.writer = std::make_unique<jet_table_writer>(db(), entry);
  }
  ++slot.users;
  return *slot.writer;
}

jet_table_writer& jd_session::writer(const std::u16string& table_name) {
  auto found = writers_.find(jd_fold(table_name));
  if (found == writers_.end() || !found->second.writer) throw jet_error(3219, jd_text::invalid_operation);
  return *found->second.writer;
}

void jd_session::open_table(const std::u16string& table_name) { ++readers_[jd_fold(table_name)]; }

void jd_session::close_table(const std::u16string& table_name) {
  auto found = readers_.find(jd_fold(table_name));
  if (found != readers_.end() && --found->second == 0) readers_.erase(found);
}

bool jd_session::is_in_use(const std::u16string& table_name) const {
  const std::u16string key = jd_fold(table_name);
  auto writer = writers_.find(key);
  return readers_.count(key) || (writer != writers_.end() && writer->second.writer);
}

void jd_session::release_writer(const std::u16string& table_name) {
  auto found = writers_.find(jd_fold(table_name));
  if (found == writers_.end()) return;
  if (--found->second.users > 0) return;
  std::unique_ptr<jet_table_writer> writer = std::move(found->second.writer);
  writers_.erase(found);
  if (writer) writer->close();
}

void jd_session::close() {
  std::exception_ptr first;
  for (auto& [name, slot] : writers_) {
    try {
      if (slot.writer) slot.writer->close();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  writers_.clear();
  try {
    // The pages still held in memory, then the file onto the disk (a disk
    // that caches writes may refuse them only now), then the journal goes.
    if (db_ && db_->pager().writable()) db_->pager_for_update().commit();
  } catch (...) {
    if (!first) first = std::current_exception();
    // A file that cannot be finished goes back to what it was.
    try {
      if (db_ && db_->pager().writable()) db_->pager_for_update().roll_back();
    } catch (...) {
      // The journal stays for the next opener.
    }
  }
  db_.reset();
  if (first) std::rethrow_exception(first);
}
