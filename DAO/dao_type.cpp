#include "DAO/dao_type.h"

#include "OLE/ole_excp.h"
#include "OLE/ole_vari.h"
#include "TK/tk_trace.h"

namespace {
constexpr uint32_t longest_short_field = 255;

bool is_short(uint32_t size) { return size >= 1 && size <= longest_short_field; }
}  // namespace

DataTypeEnum dao_native_type(VARTYPE type, uint32_t size) {
  trace(1, "dao_field::get_native_type(%d)", static_cast<int>(type));
  switch (type) {
    case VT_BOOL: return dbBoolean;
    case VT_UI1: return dbByte;
    case VT_I2:
    case VT_I1: return dbInteger;
    case VT_I4:
    case VT_UI2: return dbLong;
    case VT_R4: return dbSingle;
    case VT_R8:
    case VT_DECIMAL:
    case VT_UI4:
    case VT_I8:
    case VT_UI8: return dbDouble;
    case VT_CY: return dbCurrency;
    case VT_DATE: return dbDate;
    case VT_BSTR: return is_short(size) ? dbText : dbMemo;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BINARY_ARRAY: return is_short(size) ? dbBinary : dbLongBinary;
    default: throw ole_type_exception();
  }
}

VARTYPE dao_value_type(SHORT dao_type) {
  switch (dao_type) {
    case dbBoolean: return VT_BOOL;
    case dbByte: return VT_UI1;
    case dbInteger: return VT_I2;
    case dbLong: return VT_I4;
    case dbCurrency: return VT_CY;
    case dbSingle: return VT_R4;
    case dbDouble:
    case dbNumeric:
    case dbDecimal:
    case dbFloat: return VT_R8;
    case dbDate:
    case dbTime: return VT_DATE;
    case dbText:
    case dbMemo: return VT_BSTR;
    default: return VT_BLOB;
  }
}

bool dao_is_indexable(DataTypeEnum type) { return type != dbMemo && type != dbLongBinary; }
