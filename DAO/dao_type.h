#pragma once
// The two type maps of the Access side: the Access field type a column of a
// value type becomes, and the value type an Access field reads as.
#include <cstdint>

#include "DAO/dao_idl.h"

// Text and binary columns of 1 to 255 units stay short (dbText, dbBinary);
// 0 (no limit) or more become long (dbMemo, dbLongBinary). A value type
// Access has no field for raises ole_type_exception.
DataTypeEnum dao_native_type(VARTYPE type, uint32_t size);

// Every type without a value type of its own (binary, GUID, ...) reads as VT_BLOB.
VARTYPE dao_value_type(SHORT dao_type);

// Whether Access can use a field of that type as an index key.
bool dao_is_indexable(DataTypeEnum type);
