#pragma once
// The DAO object model as the Access destination uses it: the contract
// between the destination layer and the Access database engine that serves
// it (jet/). Interface and member names follow DAO's own, so the calling code
// reads as it would against the platform's DAO. Every member answers an
// HRESULT; a failing member leaves DAO's error number and text in the
// engine's Errors collection. Out-pointers to objects hand over one reference.
#include "platform/com.h"
#include "platform/oleauto.h"

struct Error;
struct Errors;
struct Database;
struct TableDefs;
struct _TableDef;
struct Fields;
struct _Field;
struct Indexes;
struct _Index;
struct IndexFields;
struct _QueryDef;
struct Recordset;

// ---- Class and interface identifiers ------------------------------------------------

// Engine classes, one per DAO generation; our engine registers the ones it serves.
inline constexpr CLSID CLSID_DBEngine36 = {0x00000100, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_DBEngine35 = {0x00000010, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_DBEngine30 = {0x00025E15, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr CLSID CLSID_DBEngineAce = {0xCD7791B9, 0x43FD, 0x42C5, {0xAE, 0x42, 0x8D, 0xD2, 0x81, 0x1F, 0x04, 0x19}};

inline constexpr IID IID__DBEngine = {0x00000021, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID__DBEngine30 = {0x00025E17, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_Error = {0x00000023, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_Errors = {0x00000025, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_Database = {0x00000071, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_TableDefs = {0x0000004D, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID__TableDef = {0x00000049, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_Fields = {0x00000053, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID__Field = {0x00000051, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_Indexes = {0x0000005B, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID__Index = {0x00000059, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_IndexFields = {0x0000005D, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID__QueryDef = {0x00000079, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID IID_Recordset = {0x00000031, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

// ---- Constants ----------------------------------------------------------------------

// Field types (DataTypeEnum).
enum DataTypeEnum : SHORT {
  dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5, dbSingle = 6,
  dbDouble = 7, dbDate = 8, dbBinary = 9, dbText = 10, dbLongBinary = 11, dbMemo = 12,
  dbGUID = 15, dbBigInt = 16, dbVarBinary = 17, dbChar = 18, dbNumeric = 19,
  dbDecimal = 20, dbFloat = 21, dbTime = 22, dbTimeStamp = 23
};

// Field attributes.
enum FieldAttributeEnum : LONG {
  dbFixedField = 0x1, dbVariableField = 0x2, dbAutoIncrField = 0x10,
  dbUpdatableField = 0x20, dbSystemField = 0x2000, dbHyperlinkField = 0x8000,
  dbDescending = 0x1
};

// Table definition attributes.
enum TableDefAttributeEnum : LONG {
  dbAttachExclusive = 0x10000, dbAttachSavePWD = 0x20000,
  dbSystemObject = static_cast<LONG>(0x80000002), dbAttachedTable = 0x40000000,
  dbAttachedODBC = 0x20000000, dbHiddenObject = 0x1
};

// Recordset types and options.
enum RecordsetTypeEnum : SHORT { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };
enum RecordsetOptionEnum : LONG { dbDenyWrite = 1, dbDenyRead = 2, dbReadOnly = 4, dbAppendOnly = 8 };
enum UpdateTypeEnum : LONG { dbUpdateBatch = 4, dbUpdateRegular = 1, dbUpdateCurrentRecord = 2 };

// Database versions for CreateDatabase's option (0 is the engine's own format).
enum DatabaseTypeEnum : LONG {
  dbVersion10 = 1, dbEncrypt = 2, dbDecrypt = 4, dbVersion11 = 8, dbVersion20 = 16,
  dbVersion30 = 32, dbVersion40 = 64, dbVersion120 = 128
};

// The locale text of a General-sorted database.
inline constexpr char16_t dbLangGeneral[] = u";LANGID=0x0409;CP=1252;COUNTRY=0";

// ---- Interfaces ---------------------------------------------------------------------

struct _DBEngine : IDispatch {
  virtual HRESULT get_Errors(Errors** errors) = 0;
  virtual HRESULT CreateDatabase(BSTR name, BSTR locale, VARIANT option, Database** database) = 0;
  virtual HRESULT OpenDatabase(BSTR name, VARIANT options, VARIANT read_only, VARIANT connect,
                               Database** database) = 0;
};

struct Errors : IDispatch {
  virtual HRESULT get_Count(SHORT* count) = 0;
  virtual HRESULT get_Item(VARIANT item, Error** error) = 0;
};

struct Error : IDispatch {
  virtual HRESULT get_Number(LONG* number) = 0;
  virtual HRESULT get_Description(BSTR* description) = 0;
  virtual HRESULT get_Source(BSTR* source) = 0;
};

struct Database : IDispatch {
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT get_TableDefs(TableDefs** tabledefs) = 0;
  virtual HRESULT CreateTableDef(VARIANT name, VARIANT attributes, VARIANT source_table, VARIANT connect,
                                 _TableDef** tabledef) = 0;
  virtual HRESULT CreateQueryDef(VARIANT name, VARIANT sql_text, _QueryDef** querydef) = 0;
  virtual HRESULT Close() = 0;
  // The locale whose sort order the database's text follows (dbSortGeneral: 1033).
  virtual HRESULT get_CollatingOrder(LONG* order) = 0;
};

struct TableDefs : IDispatch {
  virtual HRESULT get_Count(SHORT* count) = 0;
  // The item is a VT_I2/VT_I4 position or a VT_BSTR name.
  virtual HRESULT get_Item(VARIANT item, _TableDef** tabledef) = 0;
  virtual HRESULT Append(IDispatch* object) = 0;
  virtual HRESULT Delete(BSTR name) = 0;
  virtual HRESULT Refresh() = 0;
};

struct _TableDef : IDispatch {
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT put_Name(BSTR name) = 0;
  virtual HRESULT get_Attributes(LONG* attributes) = 0;
  virtual HRESULT put_Attributes(LONG attributes) = 0;
  virtual HRESULT get_RecordCount(LONG* count) = 0;
  virtual HRESULT get_Fields(Fields** fields) = 0;
  virtual HRESULT get_Indexes(Indexes** indexes) = 0;
  virtual HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) = 0;
  virtual HRESULT CreateIndex(VARIANT name, _Index** index) = 0;
};

struct Fields : IDispatch {
  virtual HRESULT get_Count(SHORT* count) = 0;
  virtual HRESULT get_Item(VARIANT item, _Field** field) = 0;
  virtual HRESULT Append(IDispatch* object) = 0;
  virtual HRESULT Delete(BSTR name) = 0;
};

struct _Field : IDispatch {
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT put_Name(BSTR name) = 0;
  virtual HRESULT get_Type(SHORT* type) = 0;
  virtual HRESULT put_Type(SHORT type) = 0;
  virtual HRESULT get_Size(LONG* size) = 0;
  virtual HRESULT put_Size(LONG size) = 0;
  virtual HRESULT get_Required(VARIANT_BOOL* required) = 0;
  virtual HRESULT put_Required(VARIANT_BOOL required) = 0;
  virtual HRESULT get_AllowZeroLength(VARIANT_BOOL* allow) = 0;
  virtual HRESULT put_AllowZeroLength(VARIANT_BOOL allow) = 0;
  virtual HRESULT get_DefaultValue(VARIANT* value) = 0;
  virtual HRESULT put_DefaultValue(VARIANT value) = 0;
  virtual HRESULT get_Attributes(LONG* attributes) = 0;
  virtual HRESULT put_Attributes(LONG attributes) = 0;
  virtual HRESULT get_Value(VARIANT* value) = 0;
  virtual HRESULT put_Value(VARIANT value) = 0;
};

struct Indexes : IDispatch {
  virtual HRESULT get_Count(SHORT* count) = 0;
  virtual HRESULT get_Item(VARIANT item, _Index** index) = 0;
  virtual HRESULT Append(IDispatch* object) = 0;
  virtual HRESULT Delete(BSTR name) = 0;
};

struct _Index : IDispatch {
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT put_Name(BSTR name) = 0;
  virtual HRESULT get_Primary(VARIANT_BOOL* primary) = 0;
  virtual HRESULT put_Primary(VARIANT_BOOL primary) = 0;
  virtual HRESULT get_Unique(VARIANT_BOOL* unique) = 0;
  virtual HRESULT put_Unique(VARIANT_BOOL unique) = 0;
  // A VT_DISPATCH to be queried for IndexFields, as DAO hands it out.
  virtual HRESULT get_Fields(VARIANT* fields) = 0;
  virtual HRESULT CreateField(VARIANT name, VARIANT type, VARIANT size, _Field** field) = 0;
};

struct IndexFields : IDispatch {
  virtual HRESULT get_Count(SHORT* count) = 0;
  virtual HRESULT get_Item(VARIANT item, VARIANT* field) = 0;
  virtual HRESULT Append(IDispatch* object) = 0;
  virtual HRESULT Delete(BSTR name) = 0;
};

struct _QueryDef : IDispatch {
  virtual HRESULT get_Fields(Fields** fields) = 0;
  virtual HRESULT OpenRecordset(VARIANT type, VARIANT options, VARIANT lock_edit, Recordset** recordset) = 0;
};

struct Recordset : IDispatch {
  virtual HRESULT AddNew() = 0;
  virtual HRESULT get_Collect(VARIANT item, VARIANT* value) = 0;
  virtual HRESULT put_Collect(VARIANT item, VARIANT value) = 0;
  virtual HRESULT Update(LONG update_type, VARIANT_BOOL force) = 0;
  virtual HRESULT MoveFirst() = 0;
  virtual HRESULT MoveNext() = 0;
  virtual HRESULT MovePrevious() = 0;
  virtual HRESULT get_BOF(VARIANT_BOOL* bof) = 0;
  virtual HRESULT get_EOF(VARIANT_BOOL* eof) = 0;
  virtual HRESULT get_RecordCount(LONG* count) = 0;
  virtual HRESULT get_Fields(Fields** fields) = 0;
  virtual HRESULT Close() = 0;
};
