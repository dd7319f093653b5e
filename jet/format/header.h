#pragma once
// The database definition page (page 0): format version, page size, code
// page, sort order and creation date, read through the RC4 mask Access
// applies to part of the page.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/format.h"

// RC4 keystream XORed over the bytes; applying it twice restores them.
void jet_rc4_mask(uint32_t key, uint8_t* bytes, size_t length);

struct jet_header {
  const jet_format* format = nullptr;  // chosen by the version and code page
  uint8_t version = 0;        // 0 Jet 3, 1 Jet 4
  uint32_t page_size = 0;
  uint16_t code_page = 0;     // 1252 for Western files
  uint32_t db_key = 0;        // 0: pages are not encoded
  uint16_t sort_order = 0;    // LCID of the text sort order (0x409 "General")
  uint16_t sort_version = 0;
  double create_date = 0;     // OLE date; 0 in Jet 3 files, which keep none
};

// Reads the header from the first bytes of the file. A file that is not an
// Access database, one of another version, one with a code page this engine
// cannot read, or one whose pages are encoded raises 3343.
jet_header jet_read_header(const std::vector<uint8_t>& page0, const std::string& file);
