#pragma once
// Values between DAO's VARIANTs and the engine's cells, converted as DAO
// converts them when a recordset's field is read or set.
#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet/table/definition.h"
#include "platform/oleauto.h"

// A VARIANT set into a field of `column`'s type. Empty and Null give Null.
// Raises 3421 for a value of no matching type, 3349 for a number out of the
// field's range, 3163 for text or bytes longer than the field.
jet_value jd_value_from_variant(const jet_format& format, const jet_column& column, const VARIANT& value);
// The same into `out`, whose text and bytes keep their storage; after a
// failure `out` holds no meaningful value.
void jd_value_from_variant(const jet_format& format, const jet_column& column, const VARIANT& value, jet_value& out);

// The VARIANT type a field of `type` holds its values in; VT_EMPTY for the
// types that have none of their own.
VARTYPE jd_natural_type(uint8_t type);
// jd_value_from_variant for a value whose type is the field's own
// (value.vt == jd_natural_type(column.type) != VT_EMPTY): nothing to change.
// Text longer than the field raises 3163 and leaves `out` as it was.
void jd_value_from_natural(const jet_format& format, const jet_column& column, const VARIANT& value, jet_value& out);

// A stored value as DAO hands it out (Null as VT_NULL); `out` is overwritten.
void jd_value_to_variant(const jet_column& column, const jet_value& value, VARIANT* out);

// The DAO field size of a column: characters for Text, bytes otherwise, 0 for long values.
long jd_column_size(const jet_format& format, const jet_column& column);
