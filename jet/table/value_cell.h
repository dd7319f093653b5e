#pragma once
// Values to the bytes a row stores for them; the inverse of jet_cell_value
// for every type but the long values, whose bytes the writer places on LVAL
// pages (jet_lv_reference builds their 12-byte reference). The forms taking
// an output fill it in place, so a writer's buffers serve row after row.
#include <cstdint>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet/table/definition.h"
#include "jet/table/row.h"

// A value of the column's own type (value.type == column.type) as a cell of
// a file of `format`. Text longer than the column raises 3163; long values
// raise 3001 here. Characters a Jet 3 file's code page lacks are stored as '?'.
jet_cell jet_value_cell(const jet_format& format, const jet_column& column, const jet_value& value);
void jet_value_cell(const jet_format& format, const jet_column& column, const jet_value& value, jet_cell& out);

// Stored bytes of a Memo (text, compressed as the column allows) or an OLE value.
std::vector<uint8_t> jet_long_value_bytes(const jet_format& format, const jet_column& column, const jet_value& value);
// The same without a copy: an OLE value's own bytes, or the Memo encoded into `scratch`.
const std::vector<uint8_t>& jet_long_value_bytes(const jet_format& format, const jet_column& column,
                                                 const jet_value& value, std::vector<uint8_t>& scratch);

// The 12-byte reference of a long value: inline (the bytes follow), in one
// LVAL row, or in a chain starting at `pointer`.
enum class jet_lv_place { inline_data, single_row, chain };
std::vector<uint8_t> jet_lv_reference(jet_lv_place place, uint32_t length, uint32_t pointer,
                                      const std::vector<uint8_t>& inline_bytes = {});
// The same into `out` (replaced); `inline_bytes` may be null when `inline_length` is 0.
void jet_lv_reference(jet_lv_place place, uint32_t length, uint32_t pointer, const uint8_t* inline_bytes,
                      size_t inline_length, std::vector<uint8_t>& out);
