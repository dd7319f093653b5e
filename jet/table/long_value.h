#pragma once
// Long values (Memo, OLE): a 12-byte reference in the row whose length word
// says where the bytes are: inline after the reference, in one row of an
// LVAL page, or in a chain of LVAL rows each starting with the next pointer.
#include <cstdint>
#include <vector>

#include "jet/format/byte_view.h"

class jet_pager;

// The value's bytes; a reference that points outside the file, loops or
// ends short raises 3049.
std::vector<uint8_t> jet_read_long_value(const jet_pager& pager, const jet_view& reference);
