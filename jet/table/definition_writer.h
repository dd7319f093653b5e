#pragma once
// Writing table definitions: the inverse of jet_read_tdef. Bytes whose
// meaning we do not know are written as they were read, or as Access writes
// them in new definitions.
#include <cstdint>
#include <vector>

#include "jet/table/definition.h"

// The whole definition as one buffer (the joined form of section 6 of
// FORMAT.md) in the format of `def`, its length field filled in.
std::vector<uint8_t> jet_encode_tdef(const jet_table_def& def);

// Splits a joined definition over the pages of `chain` (first page first),
// filling each page's next-page link and free-space count. Raises 3001 when
// the chain is too short for the definition.
std::vector<std::vector<uint8_t>> jet_tdef_pages(const jet_format& format, const std::vector<uint8_t>& joined,
                                                 const std::vector<uint32_t>& chain);

// Pages a joined definition of `length` bytes needs.
uint32_t jet_tdef_page_count(const jet_format& format, size_t length);
