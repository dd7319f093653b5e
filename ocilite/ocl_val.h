#pragma once
// Values in the forms ocilite stores and returns. Storage in SQLite: NUMBER
// as an SQLite number; DATE as "YYYY-MM-DD HH:MM:SS"; TIMESTAMP with the
// fraction appended (".FFFFFF") and, with time zone, " +HH:MM"; intervals as
// Oracle's own text ("+01-02", "+01 02:03:04.500000"); RAW and BLOB as bytes.
#include <cstdint>
#include <string>
#include <string_view>

namespace ocl {

// Oracle's canonical text of a number: ".5", "-12.25", "1E+40", "0".
std::string number_text(double value);
std::string number_text(int64_t value);
// The same text written into out, which has room for number_chars_capacity
// characters (no terminator); answers its length.
constexpr size_t number_chars_capacity = 48;
size_t number_chars(double value, char* out);
size_t number_chars(int64_t value, char* out);
// Oracle's internal NUMBER form of a number's canonical text (as number_chars
// writes it, "~" and "-~" being the infinities): an exponent byte, then up to
// 20 base-100 digits, a negative number complemented and ended by 102. Answers
// the byte count (1 to 21), or 0 when the text is no number or lies beyond
// NUMBER's range (ORA-01426).
constexpr size_t oracle_number_capacity = 21;
size_t oracle_number(std::string_view text, unsigned char* out);
// The same for a whole number, whose text is all its digits.
size_t oracle_number(int64_t value, unsigned char* out);
// Oracle's text of a BINARY_FLOAT/BINARY_DOUBLE value: "1.5E+000".
std::string binary_double_text(double value, bool single);
// ROUND (half away from zero) or TRUNC at a decimal place, on the value's 15
// significant decimal digits as a decimal NUMBER would: 1.005 rounds to 1.01.
double decimal_round(double value, int places, bool round);
// TO_CHAR of a number with a format mask of 9, 0, "." or D, "," or G, a
// leading $ and the FM modifier. "#" fills a value the mask cannot hold.
// False for a mask with anything else.
bool format_number(double value, const std::string& mask, std::string& text);
// A number literal or TO_NUMBER text; false when it is not a number.
bool parse_number(std::string_view text, double& value);

struct datetime {
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int nanos = 0;
  bool has_zone = false;
  int zone_minutes = 0;
};

// Reads the stored form, and ISO-like literal text ("2010-01-01", "2010-01-01 14:05:09.5").
bool parse_stored_datetime(std::string_view text, datetime& value);
bool valid_datetime(const datetime& value);
std::string stored_date(const datetime& value);       // DATE storage
std::string stored_timestamp(const datetime& value);  // TIMESTAMP storage (with zone when set)
// The 7-byte DATE form: century+100, year+100, month, day, hour+1, minute+1, second+1.
void to_oracle_date(const datetime& value, unsigned char out[7]);

// TO_DATE / TO_TIMESTAMP with a format mask (YYYY, RRRR, YY, RR, MM, MON, MONTH,
// DD, HH24, HH, HH12, MI, SS, FF[1-9], AM/PM, TZH, TZM and punctuation).
// Errors are Oracle numbers (1861, 1843, ...); 0 on success.
int parse_with_format(std::string_view text, std::string_view format, datetime& value);
// TO_CHAR of a date with a format mask; the session defaults when format is empty.
std::string format_datetime(const datetime& value, std::string_view format);
std::string default_date_text(const datetime& value);       // DD-MON-RR
std::string default_timestamp_text(const datetime& value, int fraction);

// Interval literal text and unit(s) → Oracle's canonical text; 1867 on error.
int normalize_interval(std::string_view text, std::string_view from_unit,
                       std::string_view to_unit, std::string& canonical);

std::string hex_text(const void* data, size_t size);  // upper-case digits
bool parse_hex(std::string_view text, std::string& bytes);

}  // namespace ocl
