#pragma once
// The Jet 4 row format: column count, fixed area, variable area, variable
// offset table (stored backwards), variable count and null mask at the end.
#include <cstdint>
#include <vector>

#include "jet/jet_byte.h"
#include "jet/jet_tdef.h"
#include "jet/jet_valu.h"

class jet_pager;

// Decodes one row into one value per column of `def`, in the definition's
// column order. Long values are fetched through `pager`.
std::vector<jet_value> jet_decode_row(const jet_pager& pager, const jet_table_def& def, const jet_view& row);
