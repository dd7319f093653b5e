#pragma once
// One cell as the engine holds it, tagged with its column type. Integers
// (Byte, Integer, Long, Boolean) and Currency (in units of 1/10000) are in
// `integer`; Single, Double and Date in `real`; Text and Memo in `text`;
// Binary, OLE, GUID (16 bytes) and Numeric (17 stored bytes) in `bytes`.
#include <cstdint>
#include <string>
#include <vector>

struct jet_value {
  uint8_t type = 0;
  bool is_null = true;
  int64_t integer = 0;
  double real = 0;
  std::u16string text;
  std::vector<uint8_t> bytes;

  static jet_value null(uint8_t type) { jet_value v; v.type = type; return v; }
};

// Decimal text of a Numeric value ("-12.50" for scale 2), as Access shows it.
std::string jet_numeric_text(const std::vector<uint8_t>& stored, uint8_t scale);
// Currency in 1/10000 units as "-12.3400".
std::string jet_currency_text(int64_t units);
// A GUID's 16 stored bytes as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
std::string jet_guid_text(const std::vector<uint8_t>& stored);
// An OLE date as "YYYY-MM-DDTHH:MM:SS.mmm" (days from 1899-12-30; for
// negative dates the fraction counts forward from the day, as OLE does).
std::string jet_date_text(double ole_date);
// Bytes as lower-case hexadecimal.
std::string jet_hex(const std::vector<uint8_t>& bytes);
