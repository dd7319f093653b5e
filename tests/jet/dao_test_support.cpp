#include "dao_test_support.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "jet/dao/register.h"
#include "platform/codepage.h"

variant variant::text(const std::u16string& value) {
  variant v;
  v.v_.vt = VT_BSTR;
  v.v_.bstrVal = SysAllocStringLen(value.data(), UINT(value.size()));
  return v;
}
variant variant::i4(LONG value) {
  variant v;
  v.v_.vt = VT_I4;
  v.v_.lVal = value;
  return v;
}
variant variant::i2(SHORT value) {
  variant v;
  v.v_.vt = VT_I2;
  v.v_.iVal = value;
  return v;
}
variant variant::r8(double value) {
  variant v;
  v.v_.vt = VT_R8;
  v.v_.dblVal = value;
  return v;
}
variant variant::date(double value) {
  variant v;
  v.v_.vt = VT_DATE;
  v.v_.date = value;
  return v;
}
variant variant::boolean(bool value) {
  variant v;
  v.v_.vt = VT_BOOL;
  v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
variant variant::bytes(const std::vector<uint8_t>& value) {
  variant v;
  SAFEARRAYBOUND bound{ULONG(value.size()), 0};
  v.v_.parray = SafeArrayCreate(VT_UI1, 1, &bound);
  if (!value.empty()) std::memcpy(v.v_.parray->pvData, value.data(), value.size());
  v.v_.vt = VT_ARRAY | VT_UI1;
  return v;
}
variant variant::missing() {
  variant v;
  v.v_.vt = VT_ERROR;
  v.v_.scode = static_cast<SCODE>(0x80020004);
  return v;
}
variant variant::null() {
  variant v;
  v.v_.vt = VT_NULL;
  return v;
}

std::u16string variant_text(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return u"<no text>";
  std::u16string result(text.bstrVal ? text.bstrVal : u"", SysStringLen(text.bstrVal));
  VariantClear(&text);
  return result;
}

void jd_test::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  jet_register_dao_engine();
  com<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_SERVER, nullptr, IID_IClassFactory, factory.void_out()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID__DBEngine, engine_.void_out()), S_OK);
}

void jd_test::TearDown() {
  engine_.reset();
  com_unregister_class(CLSID_DBEngine36);
  CoUninitialize();
}

LONG jd_test::last_error() {
  com<Errors> errors;
  if (FAILED(engine_->get_Errors(errors.out()))) return -1;
  com<Error> error;
  variant first = variant::i4(0);
  if (FAILED(errors->get_Item(first.get(), error.out()))) return -1;
  LONG number = 0;
  error->get_Number(&number);
  return number;
}

std::u16string jd_test::last_description() {
  com<Errors> errors;
  engine_->get_Errors(errors.out());
  com<Error> error;
  variant first = variant::i4(0);
  if (FAILED(errors->get_Item(first.get(), error.out()))) return u"";
  bstr text;
  error->get_Description(text.out());
  return text.text();
}

std::string jd_test::last_text() { return platform::utf16_to_utf8(last_description()); }

HRESULT jd_test::create(const std::string& path, com<Database>& db) {
  bstr name(std::u16string(path.begin(), path.end()));
  bstr locale(dbLangGeneral);
  variant option = variant::i4(0);
  return engine_->CreateDatabase(name, locale, option.get(), db.out());
}

HRESULT jd_test::open(const std::string& path, bool read_only, com<Database>& db) {
  bstr name(std::u16string(path.begin(), path.end()));
  variant exclusive = variant::boolean(false);
  variant ro = variant::boolean(read_only);
  variant connect = variant::text(u"");
  return engine_->OpenDatabase(name, exclusive.get(), ro.get(), connect.get(), db.out());
}

void add_field(_TableDef* table, const std::u16string& name, SHORT type, LONG size, bool required, bool auto_increment) {
  variant field_name = variant::text(name), field_type = variant::i4(type), field_size = variant::i4(size);
  com<_Field> field;
  ASSERT_EQ(table->CreateField(field_name.get(), field_type.get(), field_size.get(), field.out()), S_OK);
  com<Fields> fields;
  ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
  ASSERT_EQ(fields->Append(field.get()), S_OK);
  ASSERT_EQ(field->put_Required(required ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
  ASSERT_EQ(field->put_AllowZeroLength(VARIANT_TRUE), S_OK);
  if (auto_increment) {
    LONG attributes = 0;
    ASSERT_EQ(field->get_Attributes(&attributes), S_OK);
    ASSERT_EQ(field->put_Attributes(attributes | dbAutoIncrField), S_OK);
  }
}

void add_index(_TableDef* table, const std::u16string& name, const std::vector<std::u16string>& names, bool primary,
               bool unique) {
  variant index_name = variant::text(name);
  com<_Index> index;
  ASSERT_EQ(table->CreateIndex(index_name.get(), index.out()), S_OK);
  variant fields_variant;
  ASSERT_EQ(index->get_Fields(fields_variant.out()), S_OK);
  ASSERT_EQ(fields_variant.get().vt, VT_DISPATCH);
  com<IndexFields> index_fields;
  ASSERT_EQ(fields_variant.get().pdispVal->QueryInterface(IID_IndexFields, index_fields.void_out()), S_OK);
  for (const std::u16string& field_name : names) {
    variant text = variant::text(field_name), type = variant::i4(dbLong), size = variant::i4(0);
    com<_Field> field;
    ASSERT_EQ(index->CreateField(text.get(), type.get(), size.get(), field.out()), S_OK);
    ASSERT_EQ(index_fields->Append(field.get()), S_OK);
  }
  ASSERT_EQ(index->put_Primary(primary ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
  ASSERT_EQ(index->put_Unique(unique ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
  com<Indexes> indexes;
  ASSERT_EQ(table->get_Indexes(indexes.out()), S_OK);
  ASSERT_EQ(indexes->Append(index.get()), S_OK);
}

HRESULT open_table(Database* db, const std::u16string& table, LONG options, com<Recordset>& recordset) {
  variant name = variant::text(u""), sql = variant::text(u"SELECT * FROM [" + table + u"]");
  com<_QueryDef> query;
  const HRESULT made = db->CreateQueryDef(name.get(), sql.get(), query.out());
  if (FAILED(made)) return made;
  variant type = variant::i2(dbOpenDynaset), flags = variant::i4(options), lock = variant::missing();
  return query->OpenRecordset(type.get(), flags.get(), lock.get(), recordset.out());
}

int run_program(const std::string& command, std::string* output) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
  if (!pipe) return -1;
  std::array<char, 4096> buffer;
  std::string text;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) text.append(buffer.data(), got);
  if (output) *output = text;
  const int status = ::pclose(pipe.release());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expect_file_consistent(const std::string& path) {
  std::string output;
  EXPECT_EQ(run_program(std::string(JETUTIL_PATH) + " check '" + path + "'", &output), 0) << output;
  if (run_program("command -v mdb-tables") == 0) {
    EXPECT_EQ(run_program("mdb-tables -1 '" + path + "'", &output), 0) << output;
  }
  const std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (run_program("command -v node") != 0 || !std::filesystem::exists(readers + "/node_modules/mdb-reader")) return;
  const std::string dump = path + ".json";
  ASSERT_EQ(run_program(std::string(JETUTIL_PATH) + " dump '" + path + "' > '" + dump + "'"), 0);
  EXPECT_EQ(run_program("node '" + readers + "/compare.mjs' '" + dump + "' '" + path + "'", &output), 0) << output;
  std::filesystem::remove(dump);
}
