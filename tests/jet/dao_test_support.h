#pragma once
// What the tests of the engine's DAO objects share: owned COM references,
// VARIANT arguments, the registered engine and the error it last reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DAO/dao_idl.h"

// One owned reference.
template <class T>
class com {
 public:
  com() = default;
  com(const com&) = delete;
  com& operator=(const com&) = delete;
  ~com() { reset(); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** out() {
    reset();
    return &p_;
  }
  void** void_out() { return reinterpret_cast<void**>(out()); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A BSTR freed with the object.
class bstr {
 public:
  explicit bstr(const std::u16string& text) : b_(SysAllocStringLen(text.data(), UINT(text.size()))) {}
  bstr() = default;
  ~bstr() { SysFreeString(b_); }
  bstr(const bstr&) = delete;
  bstr& operator=(const bstr&) = delete;
  operator BSTR() const { return b_; }
  BSTR* out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::u16string text() const { return std::u16string(b_ ? b_ : u"", SysStringLen(b_)); }

 private:
  BSTR b_ = nullptr;
};

// A VARIANT cleared with the object.
class variant {
 public:
  variant() { VariantInit(&v_); }
  ~variant() { VariantClear(&v_); }
  variant(const variant&) = delete;
  variant& operator=(const variant&) = delete;
  variant(variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  VARIANT* out() {
    VariantClear(&v_);
    return &v_;
  }
  VARIANT& get() { return v_; }
  const VARIANT& get() const { return v_; }
  static variant text(const std::u16string& value);
  static variant i4(LONG value);
  static variant i2(SHORT value);
  static variant r8(double value);
  static variant date(double value);
  static variant boolean(bool value);
  static variant bytes(const std::vector<uint8_t>& value);
  static variant missing();
  static variant null();

 private:
  VARIANT v_;
};

std::u16string variant_text(const VARIANT& value);  // through VariantChangeType

// The engine class registered and one engine made from it.
class jd_test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The number of the last error in the engine's Errors collection.
  LONG last_error();
  std::u16string last_description();
  std::string last_text();  // the description in UTF-8, for failure messages
  HRESULT create(const std::string& path, com<Database>& db);
  HRESULT open(const std::string& path, bool read_only, com<Database>& db);

  com<_DBEngine> engine_;
};

// A field definition made and appended to a table definition.
void add_field(_TableDef* table, const std::u16string& name, SHORT type, LONG size = 0, bool required = false,
               bool auto_increment = false);
// An index of named fields appended to a table definition.
void add_index(_TableDef* table, const std::u16string& name, const std::vector<std::u16string>& fields, bool primary,
               bool unique);
// Opens "SELECT * FROM [table]" with the options.
HRESULT open_table(Database* db, const std::u16string& table, LONG options, com<Recordset>& recordset);
// Runs a shell command; answers its exit status, its output in `output`.
int run_program(const std::string& command, std::string* output = nullptr);
// A file we wrote: `jetutil check` passes, and mdbtools and mdb-reader (when
// installed) read the tables and rows our engine reads.
void expect_file_consistent(const std::string& path);
