#pragma once
// Column adapters: one object per column of an Oracle result set, chosen by
// the column's Oracle type code. An adapter reads the column's name, size and
// nullability from the OCI column descriptor, says which value type the
// column carries, makes the column's schema entry, binds its fetch buffers to
// the statement (one slot per row of an array fetch), and turns the selected
// slot into a value after each fetch.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_oci.h"
#include "UDB/udb_fld.h"
#include "UDB/udb_sche.h"

// Oracle type codes the factory knows beyond those in ora_oci.h. Describes
// of a real server answer the internal codes of the datetime and interval
// types; the external ones are accepted too.
enum : ub2 {
  ora_code_timestamp_internal = 180,
  ora_code_timestamp_tz_internal = 181,
  ora_code_interval_ym_internal = 182,
  ora_code_interval_ds_internal = 183,
  ora_code_mlslabel = 105,
  ora_code_timestamp_ltz_internal = 231,
};

class ora_type {
 public:
  virtual ~ora_type();
  ora_type(const ora_type&) = delete;
  ora_type& operator=(const ora_type&) = delete;

  virtual VARTYPE get_vartype() const;
  virtual std::unique_ptr<t_ftd> make_schema_field() const;
  // Only called for a value that is not NULL.
  virtual void to_variant(ole_variant& value) = 0;
  // Binds room for rows values (an array fetch of that many rows).
  virtual void define(OCIStmt* statement, ub4 position, ub4 rows = 1) = 0;
  // Whether the column's values can be fetched many rows at a time.
  virtual bool fetches_in_batches() const { return true; }
  // The bytes one row's value takes in the fetch buffers.
  virtual size_t slot_bytes() const { return 0; }
  // The row of the last array fetch that is_null and to_variant read.
  void select_row(ub4 slot) { slot_ = slot; }

  std::unique_ptr<udb_field> make_value_field();

  const std::u16string& name() const { return name_; }
  bool is_null() const { return indicators_[slot_] == -1; }
  bool is_nullable() const { return nullable_ != 0; }
  uint32_t size() const { return size_; }
  void set_size(uint32_t size) { size_ = size; }
  // The size counts characters: the column uses character length semantics.
  bool sized_in_characters() const { return sized_in_characters_; }
  ub2 type_code() const { return type_code_; }

 protected:
  // Reads the name and nullability from the column descriptor (null for
  // adapters made without one).
  ora_type(OCIParam* column, ub2 type_code);
  // Binds buffer, rows slots of size bytes each, through OCIDefineByPos with
  // this adapter's indicators (and fetched_lengths, one a slot, when given).
  void define_buffer(OCIStmt* statement, ub4 position, ub4 rows, void* buffer, sb4 size, ub2 external_type,
                     ub2* fetched_lengths = nullptr);
  // An attribute of the column descriptor, through check_status.
  static void column_attribute(OCIParam* column, ub4 attribute, void* value, ub4* size = nullptr);

  OCIDefine* define_ = nullptr;
  std::u16string name_;
  ub1 nullable_ = 0;
  uint32_t size_ = 0;
  bool sized_in_characters_ = false;
  ub2 type_code_;
  std::vector<sb2> indicators_ = std::vector<sb2>(1, 0);  // a slot's is -1 after fetching NULL
  ub4 slot_ = 0;
};

// NUMBER and its kin, fetched in Oracle's own NUMBER form (SQLT_VNU) and
// decoded into the value type that the precision and scale allow: the value
// that the number's text would parse to.
class ora_number : public ora_type {
 public:
  ora_number(OCIParam* column, ub2 type_code);
  // The value type for a precision and a scale (a negative scale counts as 0).
  // precision is raised by one when it equals the scale.
  static VARTYPE refine_number_type(int32_t& precision, int32_t scale);

  VARTYPE get_vartype() const override { return refined_; }
  std::unique_ptr<t_ftd> make_schema_field() const override;
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;

  int32_t precision() const { return precision_; }
  int32_t scale() const { return scale_; }

  // A value in the SQLT_VNU form (a length byte, then the NUMBER bytes) into
  // type, as its canonical text would parse into it.
  static void vnu_to_variant(const ub1* vnu, VARTYPE type, ole_variant& value);
  static constexpr sb4 vnu_size = 22;
  size_t slot_bytes() const override { return vnu_size; }

 private:
  int32_t precision_ = 0;
  int32_t scale_ = 0;
  VARTYPE refined_ = VT_R8;
  std::vector<ub1> numbers_;  // vnu_size bytes a slot
};

// BINARY_FLOAT and BINARY_DOUBLE, fetched as binary numbers.
class ora_float : public ora_type {
 public:
  ora_float(OCIParam* column, ub2 type_code);
  VARTYPE get_vartype() const override { return single_ ? VT_R4 : VT_R8; }
  size_t slot_bytes() const override { return sizeof(double); }
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;

 private:
  bool single_;
  std::vector<float> floats_;
  std::vector<double> doubles_;
};

// VARCHAR2, NVARCHAR2, CHAR, NCHAR: text of the column's data size.
class ora_string : public ora_type {
 public:
  ora_string(OCIParam* column, ub2 type_code);
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;
  size_t slot_bytes() const override { return slot_units_ * 2; }

 private:
  size_t slot_units_ = 0;         // size + 1 UTF-16 units
  std::vector<char16_t> buffer_;  // slot_units_ a slot
};

// RAW: bytes up to the column's data size; a value keeps its fetched length.
class ora_binary : public ora_type {
 public:
  ora_binary(OCIParam* column, ub2 type_code);
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;
  size_t slot_bytes() const override { return size_; }

 private:
  std::vector<BYTE> buffer_;  // size_ bytes a slot
  std::vector<ub2> fetched_lengths_;
};

// CLOB, NCLOB and BLOB through a LOB locator a slot, read whole when the
// value is taken.
class ora_lob : public ora_type {
 public:
  ora_lob(OCIParam* column, ub2 type_code);
  ~ora_lob() override;
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;
  size_t slot_bytes() const override { return sizeof(OCILobLocator*); }

  // Reads one piece at a 1-based offset (characters for CLOB, bytes for
  // BLOB) into buffer; answers the amount read in the same unit.
  ub4 read_lob(ub4 offset, void* buffer, ub4 buffer_bytes);

 private:
  OCILobLocator* locator() const { return locators_[slot_]; }

  std::vector<OCILobLocator*> locators_;
  std::vector<char16_t> piece_;  // one read piece, kept from row to row
  std::u16string text_;          // the whole CLOB value, its room kept from row to row
  std::vector<BYTE> bytes_;      // the whole BLOB value, likewise
  ub1 form_ = SQLCS_IMPLICIT;    // the CLOB column's character set form
  bool form_known_ = false;
};

// DATE and the TIMESTAMP family, fetched in Oracle's 7-byte DATE form.
class ora_date : public ora_type {
 public:
  ora_date(OCIParam* column, ub2 type_code);
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;
  size_t slot_bytes() const override { return 7; }

  // A century or year byte of the DATE form to its number.
  static int canon_dt_item(int byte);
  // The 7 bytes to a date and time.
  static SYSTEMTIME to_system_time(const BYTE bytes[7]);

 private:
  std::vector<BYTE> buffer_;  // 7 bytes a slot
};

// Types served as their text: LONG, ROWID, intervals; LONG RAW as the
// hexadecimal text of its bytes.
class ora_str_repr : public ora_type {
 public:
  ora_str_repr(OCIParam* column, ub2 type_code, uint32_t capacity);
  void to_variant(ole_variant& value) override;
  void define(OCIStmt* statement, ub4 position, ub4 rows = 1) override;
  size_t slot_bytes() const override { return slot_units_ * 2; }
  // The "0x" before LONG RAW digits leaves room for one value only.
  bool fetches_in_batches() const override { return !is_long_raw(); }

 private:
  bool is_long_raw() const { return type_code_ == SQLT_LBI; }
  size_t slot_units_ = 0;
  std::vector<char16_t> buffer_;  // slot_units_ a slot
};

// Any other type: every value reads "<unsupported type>".
class ora_dummy : public ora_type {
 public:
  explicit ora_dummy(OCIParam* column);
  void to_variant(ole_variant& value) override;
  void define(OCIStmt*, ub4, ub4) override {}

  static const char16_t text[];
};

// The adapter for a column, by its Oracle type code.
std::unique_ptr<ora_type> make_ora_type(OCIParam* column, ub2 type_code);

// One fetched row: a field per column in column order, NULL as an empty value.
class ora_record : public udb_record {
 public:
  explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& columns);
  // The next fetched row into the same fields: a result set keeps one record
  // and its fields, names and buffers from row to row.
  void refill(const std::vector<std::unique_ptr<ora_type>>& columns);
};
